// quillmark-mysql: runs statements over the built-in client and prints each result as
// `mariadb --batch` does. For checking a connection, and for driving the client from
// outside.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "mysql/protocol/client.h"
#include "mysql/sqltext/splitter.h"
#include "mysql/tools/batch_output.h"
#include "platform/crash/crash.h"
#include "platform/process/standard_streams.h"
#include "platform/text/text.h"

namespace {

struct Options {
  std::string host, socket, user, password, database;
  bool havePassword = false;
  bool askPassword = false;
  uint32_t port = 0;
  bool compress = false;
  bool help = false;
  std::vector<std::string> statements;
  bool fromStdin = true;
};

const char kUsage[] =
    "usage: quillmark-mysql [-h H|--host=H] [-P N|--port=N] [-S PATH|--socket=PATH]\n"
    "                       [-u U|--user=U] [-pP|--password[=P]] [-D D|--database=D]\n"
    "                       [-C|--compress] [-B|--batch] [-e STATEMENTS]... [DATABASE]\n"
    "Without -e, statements are read from standard input; they end with \";\". Several\n"
    "-e are joined with a blank into one text. -p or --password without a value asks for\n"
    "the password on the terminal; without either, MYSQL_PWD is used when it is set.\n"
    "Exit status: 0 done, 1 the connection or a statement failed, 2 bad arguments,\n"
    "70 internal error (a crash report file is written; its path is printed).\n";

// The value is copied, then its characters in the argument vector are overwritten, so
// that the process list does not show it.
std::string TakeSecret(char* text) {
  std::string value = text;
  std::memset(text, 'x', std::strlen(text));
  return value;
}

bool ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    // "--name=V", "--name V", "-xV" or "-x V".
    auto value = [&](const char* longName, const char* shortName, std::string& out) {
      const std::string name = longName;
      if (a == name || (shortName && a == shortName)) {
        if (i + 1 >= argc) return false;
        out = argv[++i];
        return true;
      }
      if (a.rfind(name + "=", 0) == 0) {
        out = a.substr(name.size() + 1);
        return true;
      }
      if (shortName && a.size() > 2 && a.rfind(shortName, 0) == 0) {
        out = a.substr(2);
        return true;
      }
      return false;
    };
    std::string v;
    if (a == "--help" || a == "-?") {
      o.help = true;
      continue;
    }
    if (a == "--password" || a == "-p") {
      o.askPassword = true;
      continue;
    }
    if (a.rfind("--password=", 0) == 0 || (a.size() > 2 && a.rfind("-p", 0) == 0)) {
      char* text = argv[i] + (a[1] == '-' ? 11 : 2);
      o.password = TakeSecret(text);
      o.havePassword = true;
      o.askPassword = false;
      continue;
    }
    if (value("--host", "-h", o.host)) continue;
    if (value("--socket", "-S", o.socket)) continue;
    if (value("--user", "-u", o.user)) continue;
    if (value("--database", "-D", o.database)) continue;
    if (value("--port", "-P", v)) {
      char* end = nullptr;
      unsigned long port = std::strtoul(v.c_str(), &end, 10);
      if (v.empty() || *end || port > 65535) return false;
      o.port = static_cast<uint32_t>(port);
      continue;
    }
    if (a == "--compress" || a == "-C") {
      o.compress = true;
      continue;
    }
    // The output is always the batch layout.
    if (a == "--batch" || a == "-B" || a == "--no-defaults") continue;
    if (value("--execute", "-e", v)) {
      o.statements.push_back(v);
      o.fromStdin = false;
      continue;
    }
    if (!a.empty() && a[0] != '-' && o.database.empty()) {
      o.database = a;
      continue;
    }
    return false;
  }
  return true;
}

// Reads a line from the terminal with echo off. False when there is no terminal.
bool AskPassword(std::string& out) {
  int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  static const char kPrompt[] = "Enter password: ";
  termios saved{};
  const bool haveTerm = ::tcgetattr(fd, &saved) == 0;
  if (haveTerm) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  bool ok = ::write(fd, kPrompt, sizeof(kPrompt) - 1) >= 0;
  out.clear();
  for (char c; ok;) {
    ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n' || c == '\r') break;
    out.push_back(c);
  }
  if (haveTerm) ::tcsetattr(fd, TCSAFLUSH, &saved);
  ok = ::write(fd, "\n", 1) >= 0 && ok;
  ::close(fd);
  return ok;
}

// Output to a reader that went away (`| head -1`) ends the program quietly: what was
// asked for has been read.
void Emit(const std::string& text) {
  if (text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
      std::fflush(stdout) != 0) {
    if (errno == EPIPE) std::_Exit(0);
    std::fprintf(stderr, "quillmark-mysql: cannot write the output: %s\n",
                 std::strerror(errno));
    std::_Exit(1);
  }
}

bool IsUseCommand(const std::string& text) {
  if (text.size() < 4 || !text::StartsWithNoCase(text, "use")) return false;
  return text[3] == ' ' || text[3] == '\t' || text[3] == '\n' || text[3] == '\r';
}

// The server's text carries "#" and the SQL state before the message; the client's own
// errors have the general state HY000.
void PrintError(const mysql::TMysqlClient& c, const mysql::TScriptStatement* failed) {
  const std::string& text = c.ErrorText();
  std::string state = "HY000", message = text;
  if (text.size() >= 6 && text[0] == '#') {
    state = text.substr(1, 5);
    message = text.substr(6);
  }
  std::string line;
  if (failed) {
    // mariadb frames the failing statement, except its own "use" command.
    if (!IsUseCommand(failed->Text)) {
      std::fprintf(stderr, "--------------\n%s\n--------------\n\n", failed->Text.c_str());
    }
    line = " at line " + std::to_string(failed->Line);
  }
  std::fprintf(stderr, "ERROR %d (%s)%s: %s\n", c.ErrorNumber(), state.c_str(), line.c_str(),
               message.c_str());
}

// Prints one result set; false when reading it failed.
bool PrintResult(mysql::TMysqlResult& result) {
  // As mariadb --batch: a result without rows prints nothing, not even its header.
  std::string header;
  for (uint32_t i = 0; i < result.NumFields(); ++i) {
    if (i) header.push_back('\t');
    header += result.Field(i).name;
  }
  header.push_back('\n');
  std::string out;
  bool first = true;
  while (const char* const* row = result.FetchRow()) {
    if (first) {
      out += header;
      first = false;
    }
    const uint32_t* lengths = result.FetchLengths();
    for (uint32_t i = 0; i < result.NumFields(); ++i) {
      if (i) out.push_back('\t');
      if (row[i])
        mysql::AppendBatchEscaped(out, row[i], lengths[i]);
      else
        out += "NULL";
    }
    out.push_back('\n');
    if (out.size() >= 1 << 16) {
      Emit(out);
      out.clear();
    }
  }
  Emit(out);
  return result.LastReadResult() == mysql::RowRead::kEnd;
}

// Runs a statement and prints every result it answers with (a CALL, several statements).
bool Run(mysql::TMysqlClient& c, const std::string& statement) {
  if (c.Query(statement) != mysql::ClientResult::kOk) return false;
  for (;;) {
    auto result = c.UseResult();
    if (result) {
      if (!PrintResult(*result)) return false;
    } else if (c.FieldCount() != 0 || c.Status() != mysql::TMysqlClient::kReady) {
      return false;
    }
    result.reset();
    if (!c.MoreResults()) return true;
    if (c.NextResult() != mysql::ClientResult::kOk) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  process::OpenStandardStreams();
  crash::Install(argc, argv, "quillmark-mysql");
  crash::RunTestSwitch();
  // A closed pipe shows as EPIPE on the write, not as a signal.
  std::signal(SIGPIPE, SIG_IGN);
  Options o;
  if (!ParseArgs(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (o.help) {
    Emit(kUsage);
    return 0;
  }
  if (o.askPassword) {
    if (!AskPassword(o.password)) {
      std::fprintf(stderr, "quillmark-mysql: cannot ask for the password: no terminal\n");
      return 1;
    }
    o.havePassword = true;
  }
  if (!o.havePassword) {
    if (const char* env = std::getenv("MYSQL_PWD")) o.password = env;
  }

  std::string script;
  if (o.fromStdin) {
    script.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (script.rfind("\xEF\xBB\xBF", 0) == 0) script.erase(0, 3);
  } else {
    for (const auto& s : o.statements) {
      if (!script.empty()) script.push_back(' ');
      script += s;
    }
  }
  mysql::TSplitOptions split;
  split.KeepLayout = true;
  split.KeepExecutableComments = true;
  split.KeepTerminator = false;
  const std::vector<mysql::TScriptStatement> statements = mysql::SplitScript(script, split);

  mysql::TMysqlClient c;
  c.SetReconnectAllowed(false);
  c.SetCompress(o.compress);
  if (!o.socket.empty()) c.SetNamedPipe(true);
  const std::string host = o.host.empty() ? "localhost" : o.host;
  if (c.Connect(host, o.user, o.password, o.database, o.port, o.socket, false,
                mysql::kDefaultClientFlags | mysql::kClientMultiStatements |
                    mysql::kClientMultiResults) != mysql::ClientResult::kOk) {
    PrintError(c, nullptr);
    return 1;
  }
  for (auto s : statements) {
    // A string left open runs to the end of the input; its last line break is not sent.
    while (!s.Text.empty() && (s.Text.back() == '\n' || s.Text.back() == '\r')) {
      s.Text.pop_back();
    }
    if (!Run(c, s.Text)) {
      PrintError(c, &s);
      return 1;
    }
  }
  Emit(std::string());
  return 0;
}
