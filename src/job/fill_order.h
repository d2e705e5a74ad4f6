// The order in which a job fills its objects: parents before the tables that refer to
// them by foreign keys, so an existing destination that checks its foreign keys takes
// every row; objects created as views after every table.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "catalog/corvane.h"
#include "core/project_settings.h"
#include "platform/ado/connection.h"

namespace job {

// One foreign key of the source: the referring table and the table it refers to.
struct TForeignKeyLink {
  std::string child;
  std::string parent;
};

// The foreign keys of the source database, read from its catalogue (information_schema
// for MySQL and SQL Server, MSysRelationships for Access). Throws DatabaseError with
// the provider's message.
std::vector<TForeignKeyLink> ReadForeignKeys(ado::Connection& source, TDatabaseKind sourceKind);

// Tables filled together: one table, or the tables of a foreign-key cycle (a table
// that refers to itself is a cycle of one), which no order can fill with the checks on.
struct TFillGroup {
  std::vector<TCorvaneObject*> objects;
  bool cycle = false;
};

// The given objects (catalogue order) in groups: every group after the groups of the
// tables it refers to, otherwise in catalogue order. Links naming objects not given
// are ignored; names are matched exactly, then without regard to case.
std::vector<TFillGroup> FillOrder(const std::vector<TCorvaneObject*>& objects,
                                  const std::vector<TForeignKeyLink>& links);

}  // namespace job
