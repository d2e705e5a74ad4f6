#include "app/data_module.h"

void TdmMain::CloseConnections() {
  cnnSource.close();
  cnnDest.close();
  cnnMySQLSource.Close();
  cnnMySQLDest.Close();
}
