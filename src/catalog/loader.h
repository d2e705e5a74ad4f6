// Helpers of the catalogue loader that tests reach directly.
#pragma once

#include <string>
#include <string_view>

// A MySQL view's stored query qualifies every table with its database
// (`src`.`orders`); this removes the qualifier of `database` wherever it starts a
// qualified name, so the view reads the tables of whatever database it is created
// in. Text inside string literals and other databases' qualifiers stay as they are.
std::string StripDatabaseQualifier(std::string_view definition, std::string_view database);
