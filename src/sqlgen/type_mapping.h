// Column types in the three dialects: the type name of a column in its own dialect,
// its name in a destination dialect, and the full type text with length, precision
// and scale where the destination takes them. Pure functions; a kind without a
// dialect gives empty text.
#pragma once

#include <string>

#include "catalog/corvane.h"
#include "core/project_settings.h"

std::string SourceTypeName(const TCorvaneField& field);
std::string DestTypeName(const TCorvaneField& field, TDatabaseKind kind);
std::string ColumnTypeText(const TCorvaneField& field, TDatabaseKind kind);

// What follows the column name in CREATE TABLE: ColumnTypeText and, MySQL to MySQL,
// the character set and collation of a text column and a generated column's
// expression; TIMESTAMP NULL for a MySQL destination (NOT NULL with a default in a
// primary key).
std::string ColumnDefinition(const TCorvaneField& field, TDatabaseKind kind,
                             bool inPrimaryKey = false);

// The column stays generated in the destination (MySQL to MySQL): the destination
// computes its values, so no statement writes it.
bool KeepsGeneration(const TCorvaneField& field, TDatabaseKind kind);
