// The field records of MySQL client libraries, in their native x86-64 layout
// (pointers and lengths 64 bits wide), one per generation of the library.
#pragma once

namespace mysql {

// 4.1.1 and later, and every MariaDB Connector/C.
struct TNativeField41 {
  char* name;
  char* org_name;
  char* table;
  char* org_table;
  char* db;
  char* catalog;
  char* def;
  unsigned long length;
  unsigned long max_length;
  unsigned int name_length, org_name_length, table_length, org_table_length, db_length,
      catalog_length, def_length;
  unsigned int flags;
  unsigned int decimals;
  unsigned int charsetnr;
  int type;
  void* extension;
};

// 4.1.0: no catalog.
struct TNativeField40100 {
  char* name;
  char* org_name;
  char* table;
  char* org_table;
  char* db;
  char* def;
  unsigned long length;
  unsigned long max_length;
  unsigned int name_length, org_name_length, table_length, org_table_length, db_length, def_length;
  unsigned int flags;
  unsigned int decimals;
  unsigned int charsetnr;
  int type;
};

// 4.0.
struct TNativeField40 {
  char* name;
  char* table;
  char* org_table;
  char* db;
  char* def;
  unsigned long length;
  unsigned long max_length;
  unsigned int flags;
  unsigned int decimals;
  int type;
};

// 3.23 and before.
struct TNativeField323 {
  char* name;
  char* table;
  char* def;
  int type;
  unsigned int length;
  unsigned int max_length;
  unsigned int flags;
  unsigned int decimals;
};

}  // namespace mysql
