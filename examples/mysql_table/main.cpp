// Opens a table on a MySQL or MariaDB server, prints it, edits a row, inserts one and
// deletes one, then prints it again.
//
//   MYSQL_PWD=secret mysql_table_example HOST PORT USER DATABASE
//
// The table is the example's own, `quillmark_example_fruit` (id, name, price): each run
// makes it afresh with three rows, so a run always starts from the same rows. The
// password comes from MYSQL_PWD, as for the mariadb client, so that it does not stand
// in the process list.
#include <cstdlib>
#include <iostream>
#include <string>

#include "mysql/components/mysql_server.h"
#include "mysql/driver/driver.h"
#include "platform/ado/connection.h"

namespace {

const char* const kTable = "quillmark_example_fruit";

// Runs a query on the server's connection and prints its rows, tab-separated with a
// heading line, NULL for no value.
void PrintTable(TMySQLServer& server, const std::string& table) {
  TMySQLBase& driver = *server.DriverProperties();
  mysql::TMySQLResult result =
      driver.Query(server.Handle(), "SELECT * FROM " + server.QuoteName(table) + " ORDER BY id");
  if (!result) return;
  try {
    const uint32_t columns = driver.NumFields(result);
    for (uint32_t i = 0; i < columns; ++i) {
      mysql::TMysqlField field;
      driver.FetchField(result, field);
      std::cout << (i ? "\t" : "") << field.name;
    }
    std::cout << '\n';
    while (mysql::TMySQLRow row = driver.FetchRow(result)) {
      const unsigned long* lengths = driver.FetchLengths(result);
      for (uint32_t i = 0; i < columns; ++i) {
        std::cout << (i ? "\t" : "");
        if (row[i]) {
          std::cout.write(row[i], static_cast<std::streamsize>(lengths[i]));
        } else {
          std::cout << "NULL";
        }
      }
      std::cout << '\n';
    }
    // A row stream cut short reads like its end: the handle's error tells them apart.
    if (driver.ErrorNumber(server.Handle()) != 0) {
      driver.RaiseError(server.Handle(), 2013, "Reading " + table);
    }
  } catch (...) {
    driver.FreeResult(result);
    throw;
  }
  driver.FreeResult(result);
}

// A text as an SQL literal, escaped for this connection.
std::string Literal(TMySQLServer& server, const std::string& text) {
  return "'" + server.EscapeString(text) + "'";
}

void MakeTable(TMySQLServer& server) {
  const std::string name = server.QuoteName(kTable);
  server.ExecSQL("DROP TABLE IF EXISTS " + name);
  server.ExecSQL("CREATE TABLE " + name +
                 " (id INT PRIMARY KEY, name VARCHAR(40) NOT NULL, price DECIMAL(6,2) NULL)");
  server.ExecSQL("INSERT INTO " + name +
                 " VALUES (1, 'apple', 0.50), (2, 'pear', 0.75), (3, 'quince', NULL)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: mysql_table_example HOST PORT USER DATABASE (password in MYSQL_PWD)\n";
    return 2;
  }
  const char* password = std::getenv("MYSQL_PWD");
  try {
    TMySQLServer server;
    server.SetHost(argv[1]);
    server.SetPort(static_cast<std::uint16_t>(std::atoi(argv[2])));
    server.SetUserName(argv[3]);
    server.SetPassword(password ? password : "");
    server.SetDatabaseName(argv[4]);
    server.Open();
    std::cout << "connected to " << server.ServerVersion() << '\n';

    MakeTable(server);
    std::cout << "-- " << kTable << '\n';
    PrintTable(server, kTable);

    const std::string name = server.QuoteName(kTable);
    server.ExecSQL("UPDATE " + name + " SET price = 0.80, name = " + Literal(server, "pear's") +
                   " WHERE id = 2");
    server.ExecSQL("INSERT INTO " + name + " (id, name, price) VALUES (4, " +
                   Literal(server, "fig") + ", 1.20)");
    server.ExecSQL("DELETE FROM " + name + " WHERE id = 1");
    std::cout << "-- edited 2, inserted 4, deleted 1\n";
    PrintTable(server, kTable);

    server.Close();
  } catch (const ado::DatabaseError& e) {
    // Every failure of the driver and the components is a database error with the
    // server's or the client's own message.
    std::cerr << "mysql_table_example: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
