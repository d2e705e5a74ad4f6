// Opens a table on a MySQL or MariaDB server, prints it, edits a row, inserts one and
// deletes one through a TMySQLTable, then prints it again.
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

#include "mysql/components/mysql_dataset.h"
#include "mysql/components/mysql_server.h"
#include "platform/ado/connection.h"

namespace {

const char* const kTable = "quillmark_example_fruit";

// Every row of the open table, tab-separated with a heading line, NULL for no value.
void PrintTable(TMySQLTable& table) {
  for (int i = 0; i < table.FieldCount(); ++i) {
    std::cout << (i ? "\t" : "") << table.Fields(i).FieldName;
  }
  std::cout << '\n';
  for (table.First(); !table.Eof(); table.Next()) {
    for (int i = 0; i < table.FieldCount(); ++i) {
      const TField& field = table.Fields(i);
      std::cout << (i ? "\t" : "") << (field.IsNull() ? std::string("NULL") : field.AsString());
    }
    std::cout << '\n';
  }
}

// Makes the row with this id the current one.
void GoToId(TMySQLTable& table, int id) {
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.FieldByName("id").AsInteger() == id) return;
  }
  throw EDatabaseError("no row with id " + std::to_string(id));
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

    TMySQLTable table;
    table.SetServer(&server);
    table.SetTableName(kTable);
    table.Open();
    std::cout << "-- " << kTable << '\n';
    PrintTable(table);

    GoToId(table, 2);
    table.Edit();
    table.FieldByName("name").SetAsString("pear's");
    table.FieldByName("price").SetAsString("0.80");
    table.Post();  // an UPDATE of the changed columns, keyed by the primary key

    table.Append();
    table.FieldByName("id").SetAsInteger(4);
    table.FieldByName("name").SetAsString("fig");
    table.FieldByName("price").SetAsString("1.20");
    table.Post();  // an INSERT

    GoToId(table, 1);
    table.Delete();  // a DELETE keyed by the primary key

    // Read again, so what is printed is what the server now holds.
    table.Close();
    table.Open();
    std::cout << "-- edited 2, inserted 4, deleted 1\n";
    PrintTable(table);
    table.Close();
    server.Close();
  } catch (const ado::DatabaseError& e) {
    // Every failure of the driver, the datasets and the components is a database error
    // with the server's or the client's own message.
    std::cerr << "mysql_table_example: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
