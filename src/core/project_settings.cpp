#include "core/project_settings.h"

TDatabaseKind CurrentSourceKind = dkNone;
TDatabaseKind CurrentDestKind = dkNone;

TDatabaseKind KindFromListIndex(int index) {
  switch (index) {
    case 0: return dkAccess;
    case 1: return dkSQLServer;
    case 2: return dkMySQL;
    default: return dkNone;
  }
}

TProjectSettings& ProjectSettings() {
  static TProjectSettings instance;
  return instance;
}
