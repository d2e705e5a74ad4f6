// The command line of the benchmarks against the private MariaDB server:
//   NAME SERVER_ENV [ROWS] [REPEATS]
// SERVER_ENV is the server.env that scripts/test-server writes (KEY=value lines).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

struct BenchServer {
  std::string host, user, password;
  unsigned port = 0;
};

struct ServerBenchArgs {
  BenchServer server;
  long rows = 1000000;
  int repeats = 3;
};

// Ends the program with its usage (2) when SERVER_ENV is missing or names no server.
inline ServerBenchArgs ReadServerBenchArgs(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SERVER_ENV [ROWS] [REPEATS]\n", argv[0]);
    std::exit(2);
  }
  std::ifstream in(argv[1]);
  std::map<std::string, std::string> env;
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  ServerBenchArgs a;
  a.server = {env["QM_MYSQL_HOST"], env["QM_MYSQL_USER"], env["QM_MYSQL_PASSWORD"],
              static_cast<unsigned>(std::atoi(env["QM_MYSQL_PORT"].c_str()))};
  if (a.server.host.empty()) {
    std::fprintf(stderr, "no server described in %s\n", argv[1]);
    std::exit(2);
  }
  if (argc > 2) a.rows = std::atol(argv[2]);
  if (argc > 3) a.repeats = std::atoi(argv[3]);
  return a;
}
