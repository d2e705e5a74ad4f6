// Loading the catalogue through the schema rowsets arrives with the data-access
// providers; until then loading reports that it cannot be done.
#include <stdexcept>

#include "catalog/corvane.h"

bool TCorvane::LoadDBInfo() { throw std::logic_error("catalogue loading is not built yet"); }

bool TCorvaneObject::InitialObject(TDatabaseKind kind) {
  DBKind = kind;
  return InitialADODBObject(Connection);
}

bool TCorvaneObject::InitialADODBObject(ado::Connection*) {
  throw std::logic_error("catalogue loading is not built yet");
}

std::string TCorvaneObject::GetViewDefinition() { return {}; }
