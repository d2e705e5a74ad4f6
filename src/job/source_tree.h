// Which catalogue objects a job shows and chooses, and under which root: the rules of
// the source data selection window's check tree, kept apart from any widget so the
// command line applies exactly the same choice.
#pragma once

#include <string>
#include <vector>

#include "catalog/corvane.h"
#include "core/project_settings.h"

namespace job {

enum class TSourceNodeKind { Root, Object, Fields, Indexes, Field, Index };

// One node of the tree. The catalogue item it stands for is set by kind: object for
// Object, Fields and Indexes; field for Field; index for Index; nothing for Root.
struct TSourceNode {
  TSourceNodeKind kind = TSourceNodeKind::Root;
  std::string text;
  TCorvaneObject* object = nullptr;
  TCorvaneField* field = nullptr;
  TCorvaneIndex* index = nullptr;
  std::vector<TSourceNode> children;

  // 0 for a root, 1 for an object, 2 for "Fields"/"Indexes", 3 for a field or index.
  int level() const;
};

// The two roots, "TABLES" and "VIEWS", in that order. Every node is shown checked
// once the tree is built.
struct TSourceTree {
  TSourceNode tables;
  TSourceNode views;
  TSourceTree();
};

// "(PRIMARY KEY, UNIQUE, CLUSTERED)" for the flags set, in that order; empty for none.
std::string IndexFlagsText(const TCorvaneIndex& index);

// Fills tree (which should be fresh) from the catalogue and sets the Selected flags of
// every object, field and index: an object with TableType exactly "TABLE" or "VIEW" is
// shown and chosen, any other is neither. Across kinds every shown object sits under
// "TABLES" with "Fields" and "Indexes"; between equal kinds a view sits under "VIEWS"
// alone and a table without indexes gets no "Indexes" node.
// Returns false, adding nothing, when catalogue is null. An error while building
// (from ColumnTypeText) propagates; tree then holds the nodes built so far.
bool BuildSourceTree(TCorvane* catalogue, TDatabaseKind sourceKind, TDatabaseKind destKind,
                     TSourceTree& tree);

enum class TCheckState { Unchecked, Checked, Partial };

// The tree's state-change hook: applies a check or uncheck of a root or object to the
// catalogue's Selected flags, and refuses unchecking "Fields", "Indexes", a field or
// an index. Returns false when the change is refused.
bool SourceStateChanging(const TSourceNode& node, TCheckState newState);

}  // namespace job
