// Column types in the three dialects: the type name of a column in its own dialect,
// its name in a destination dialect, and the full type text with length, precision
// and scale where the destination takes them. Pure functions; a kind without a
// dialect gives empty text.
#pragma once

#include <string>

#include "app/project_settings.h"
#include "catalog/corvane.h"

std::string SourceTypeName(const TCorvaneField& field);
std::string DestTypeName(const TCorvaneField& field, TDatabaseKind kind);
std::string ColumnTypeText(const TCorvaneField& field, TDatabaseKind kind);
