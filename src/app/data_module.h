// TdmMain: the data module that owns the program's four connections for the whole
// run. No login prompt exists here: everything comes from the connection string.
#pragma once

#include <string>

#include "platform/ado/connection.h"

// Holds the place of the MySQL connection component in the data module until that
// component exists: its design-time settings, and Close, which is all the program
// asks of it (no job opens it).
class TMySQLServerPlaceholder {
 public:
  std::string Host = "localhost";
  std::string UserName = "root";
  bool Connected() const { return connected_; }
  void Close() { connected_ = false; }

 private:
  bool connected_ = false;
};

class TdmMain {
 public:
  ado::Connection cnnSource;
  ado::Connection cnnDest;
  TMySQLServerPlaceholder cnnMySQLSource;
  TMySQLServerPlaceholder cnnMySQLDest;

  // Closes all four in this order; closing one that is not open does nothing.
  void CloseConnections();
};
