// quillmark-mysql: runs statements over the built-in client and prints each result as
// `mariadb --batch` does. For checking a connection, and for driving the client from
// outside.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "mysql/protocol/batch_output.h"
#include "mysql/protocol/client.h"
#include "platform/crash/crash.h"
#include "platform/process/standard_streams.h"

namespace {

struct Options {
  std::string host, socket, user, password, database;
  uint32_t port = 0;
  bool compress = false;
  std::vector<std::string> statements;
  bool fromStdin = true;
  bool help = false;
};

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: quillmark-mysql [--host=H] [--port=N] [--socket=PATH] [--user=U]\n"
               "                       [--password=P] [--database=D] [--compress]\n"
               "                       [-e STATEMENT]... [--help]\n"
               "Without -e, statements are read from standard input; a statement ends with\n"
               "a line that ends in \";\".\n"
               "Exit status: 0 done, 1 the connection or a statement failed, 2 bad arguments,\n"
               "70 internal error (a crash report file is written; its path is printed).\n");
}

bool ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const std::string& name, std::string& out) {
      if (a == name) {
        if (i + 1 >= argc) return false;
        out = argv[++i];
        return true;
      }
      if (a.rfind(name + "=", 0) == 0) {
        out = a.substr(name.size() + 1);
        return true;
      }
      return false;
    };
    std::string v;
    if (value("--host", o.host)) continue;
    if (value("--socket", o.socket)) continue;
    if (value("--user", o.user)) continue;
    if (value("--password", o.password)) continue;
    if (value("--database", o.database)) continue;
    if (value("--port", v)) {
      char* end = nullptr;
      unsigned long port = std::strtoul(v.c_str(), &end, 10);
      if (v.empty() || *end || port > 65535) return false;
      o.port = static_cast<uint32_t>(port);
      continue;
    }
    if (a == "--compress") {
      o.compress = true;
      continue;
    }
    if (a == "--help") {
      o.help = true;
      continue;
    }
    if (a == "-e" || a == "--execute") {
      if (i + 1 >= argc) return false;
      o.statements.push_back(argv[++i]);
      o.fromStdin = false;
      continue;
    }
    if (a.rfind("--execute=", 0) == 0) {
      o.statements.push_back(a.substr(10));
      o.fromStdin = false;
      continue;
    }
    return false;
  }
  return true;
}

// The server's text carries "#" and the SQL state before the message.
void PrintError(const mysql::TMysqlClient& c) {
  const std::string& text = c.ErrorText();
  if (text.size() >= 6 && text[0] == '#') {
    std::fprintf(stderr, "ERROR %d (%s): %s\n", c.ErrorNumber(), text.substr(1, 5).c_str(),
                 text.substr(6).c_str());
  } else {
    std::fprintf(stderr, "ERROR %d: %s\n", c.ErrorNumber(), text.c_str());
  }
}

bool Run(mysql::TMysqlClient& c, const std::string& statement) {
  if (c.Query(statement) != 0) return false;
  auto result = c.UseResult();
  if (!result) return c.FieldCount() == 0 && c.Status() == mysql::TMysqlClient::kReady;
  // As mariadb --batch: a result without rows prints nothing, not even its header.
  std::string header;
  for (uint32_t i = 0; i < result->NumFields(); ++i) {
    if (i) header.push_back('\t');
    header += result->Field(i).name;
  }
  header.push_back('\n');
  std::string out;
  bool first = true;
  while (const char* const* row = result->FetchRow()) {
    if (first) {
      out += header;
      first = false;
    }
    const uint32_t* lengths = result->FetchLengths();
    for (uint32_t i = 0; i < result->NumFields(); ++i) {
      if (i) out.push_back('\t');
      if (row[i])
        mysql::AppendBatchEscaped(out, row[i], lengths[i]);
      else
        out += "NULL";
    }
    out.push_back('\n');
    if (out.size() >= 1 << 16) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return result->LastReadResult() == 1;
}

}  // namespace

int main(int argc, char** argv) {
  crash::Install(argc, argv, "quillmark-mysql");
  crash::RunTestSwitch();
  process::OpenStandardStreams();
  Options o;
  if (!ParseArgs(argc, argv, o)) {
    Usage(stderr);
    return 2;
  }
  if (o.help) {
    Usage(stdout);
    return 0;
  }
  mysql::TMysqlClient c;
  c.SetReconnectAllowed(false);
  c.SetCompress(o.compress);
  if (!o.socket.empty()) c.SetNamedPipe(true);
  const std::string host = o.host.empty() ? "localhost" : o.host;
  if (!c.Connect(host, o.user, o.password, o.database, o.port, o.socket, false,
                 mysql::kDefaultClientFlags)) {
    PrintError(c);
    return 1;
  }
  auto run = [&](const std::string& s) {
    if (Run(c, s)) return true;
    std::fflush(stdout);
    PrintError(c);
    return false;
  };
  if (!o.fromStdin) {
    for (const auto& s : o.statements) {
      if (!run(s)) return 1;
    }
  } else {
    mysql::StatementSplitter splitter;
    for (std::string line; std::getline(std::cin, line);) {
      if (splitter.AddLine(line)) {
        std::string s = splitter.Take();
        if (!s.empty() && !run(s)) return 1;
      }
    }
    if (splitter.HasPending() && !run(splitter.Take())) return 1;
  }
  std::fflush(stdout);
  return 0;
}
