#include "app/data_module.h"

TdmMain::TdmMain() {
  cnnMySQLSource.Name = "cnnMySQLSource";
  cnnMySQLDest.Name = "cnnMySQLDest";
  cnnMySQLSource.SetHost("localhost");
  cnnMySQLSource.SetUserName("root");
  cnnMySQLDest.SetHost("localhost");
  cnnMySQLDest.SetUserName("root");
}

void TdmMain::CloseConnections() {
  cnnSource.close();
  cnnDest.close();
  cnnMySQLSource.Close();
  cnnMySQLDest.Close();
}
