// Points a TMySQLServer at the private server of the "mariadb" test fixture.
#pragma once

#include <cstdint>

#include "mysql/components/mysql_server.h"
#include "support/test_server.h"

inline void UseTestServer(TMySQLServer& server) {
  const TestServer& s = TestServer::Get();
  server.SetHost(s.host);
  server.SetPort(static_cast<std::uint16_t>(s.port));
  server.SetUserName(s.user);
  server.SetPassword(s.password);
}
