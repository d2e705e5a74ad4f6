// What the benchmarks share: timing, one side run in a child process so its peak
// memory is its own, and (for the bare ODBC loops) stopping at the first failure with
// the driver's message.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

inline double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] inline void Die(const char* what, SQLSMALLINT type, SQLHANDLE h) {
  SQLCHAR state[6], text[512];
  SQLINTEGER native;
  SQLSMALLINT len;
  SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len);
  std::fprintf(stderr, "%s: %s\n", what, text);
  std::exit(1);
}

inline void Ok(SQLRETURN rc, const char* what, SQLSMALLINT type, SQLHANDLE h) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) Die(what, type, h);
}

inline SQLHENV OdbcEnvironment() {
  SQLHENV env;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  return env;
}

// What a bare copy loop holds, freed: its select and insert, both connections and the
// environment.
inline void OdbcRelease(SQLHENV env, SQLHDBC src, SQLHDBC dst, SQLHSTMT sel, SQLHSTMT ins) {
  SQLFreeHandle(SQL_HANDLE_STMT, sel);
  SQLFreeHandle(SQL_HANDLE_STMT, ins);
  for (SQLHDBC d : {src, dst}) {
    SQLDisconnect(d);
    SQLFreeHandle(SQL_HANDLE_DBC, d);
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

inline SQLHDBC OdbcConnect(SQLHENV env, const char* connectionString) {
  SQLHDBC dbc;
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  Ok(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connectionString, SQL_NTS, nullptr, 0, nullptr,
                      SQL_DRIVER_NOPROMPT),
     "connect", SQL_HANDLE_DBC, dbc);
  return dbc;
}

struct Measure {
  double seconds;
  double peakMB;
  double cpuSeconds;  // user and system time of the process itself, without the server's
};

// Runs one side in a child process: its time through a pipe, its peak memory and CPU
// time from wait4 (for a pipeline, the largest of its programs' peaks).
template <typename F>
Measure InChild(F side) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const double s = side();
    if (write(fds[1], &s, sizeof s) != sizeof s) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  double s = 0;
  const bool got = read(fds[0], &s, sizeof s) == sizeof s;
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "a benchmark run failed\n");
    std::exit(1);
  }
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
  return {s, usage.ru_maxrss / 1024.0, cpu};
}
