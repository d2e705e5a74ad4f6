// TdmMain: the data module that owns the program's four connections for the whole
// run. No login prompt exists here: everything comes from the connection string.
#pragma once

#include "mysql/components/mysql_server.h"
#include "platform/ado/connection.h"

class TdmMain {
 public:
  TdmMain();

  ado::Connection cnnSource;
  ado::Connection cnnDest;
  // The MySQL connection components (Host "localhost", UserName "root"). A job reaches
  // MySQL through ODBC, so nothing opens them; they are closed with the others.
  TMySQLServer cnnMySQLSource;
  TMySQLServer cnnMySQLDest;

  // Closes all four in this order; closing one that is not open does nothing.
  void CloseConnections();
};
