#include "job/source_tree.h"

#include "sqlgen/type_mapping.h"

namespace job {

int TSourceNode::level() const {
  switch (kind) {
    case TSourceNodeKind::Root: return 0;
    case TSourceNodeKind::Object: return 1;
    case TSourceNodeKind::Fields:
    case TSourceNodeKind::Indexes: return 2;
    case TSourceNodeKind::Field:
    case TSourceNodeKind::Index: return 3;
  }
  return 0;
}

TSourceTree::TSourceTree() {
  tables.text = "TABLES";
  views.text = "VIEWS";
}

std::string IndexFlagsText(const TCorvaneIndex& index) {
  std::string flags;
  auto add = [&](bool set, const char* word) {
    if (!set) return;
    if (!flags.empty()) flags += ", ";
    flags += word;
  };
  add(index.IsPrimaryKey, "PRIMARY KEY");
  add(index.IsUnique, "UNIQUE");
  add(index.IsClustered, "CLUSTERED");
  return flags.empty() ? flags : "(" + flags + ")";
}

namespace {

TSourceNode& AddChild(TSourceNode& parent, TSourceNodeKind kind, std::string text,
                      TCorvaneObject* object) {
  TSourceNode node;
  node.kind = kind;
  node.text = std::move(text);
  node.object = object;
  parent.children.push_back(std::move(node));
  return parent.children.back();
}

// The field and index nodes; each is added as soon as its text is made, so an error
// leaves the nodes before it in the tree.
void AddChildren(TCorvaneObject& object, TSourceNode& fields, TSourceNode* indexes) {
  for (auto& f : object.Fields) {
    f.Selected = true;
    std::string text = f.FieldName + " " + ColumnTypeText(f, f.DBKind);
    AddChild(fields, TSourceNodeKind::Field, std::move(text), &object).field = &f;
  }
  if (!indexes) return;
  for (auto& i : object.Indexes) {
    i.Selected = true;
    AddChild(*indexes, TSourceNodeKind::Index, i.IndexName + " " + IndexFlagsText(i), &object)
        .index = &i;
  }
}

}  // namespace

bool BuildSourceTree(TCorvane* catalogue, TDatabaseKind sourceKind, TDatabaseKind destKind,
                     TSourceTree& tree) {
  if (!catalogue) return false;
  for (auto& object : catalogue->Objects) {
    object.SelectAllChildObject(true);
    if (object.TableType != "TABLE" && object.TableType != "VIEW") {
      object.SelectAllChildObject(false);
      continue;
    }
    if (!SameDialect(sourceKind, destKind)) {
      TSourceNode& node =
          AddChild(tree.tables, TSourceNodeKind::Object, object.ObjectName, &object);
      AddChild(node, TSourceNodeKind::Fields, "Fields", &object);
      AddChild(node, TSourceNodeKind::Indexes, "Indexes", &object);
      AddChildren(object, node.children[0], &node.children[1]);
    } else if (object.ObjectKind == okTable) {
      TSourceNode& node =
          AddChild(tree.tables, TSourceNodeKind::Object, object.ObjectName, &object);
      AddChild(node, TSourceNodeKind::Fields, "Fields", &object);
      const bool withIndexes = !object.Indexes.empty();
      if (withIndexes) AddChild(node, TSourceNodeKind::Indexes, "Indexes", &object);
      AddChildren(object, node.children[0], withIndexes ? &node.children[1] : nullptr);
    } else if (object.ObjectKind == okView) {
      AddChild(tree.views, TSourceNodeKind::Object, object.ObjectName, &object);
    }
  }
  return true;
}

bool SourceStateChanging(const TSourceNode& node, TCheckState newState) {
  if (newState == TCheckState::Partial) return true;
  const bool select = newState == TCheckState::Checked;
  switch (node.level()) {
    case 0:
      for (const TSourceNode& child : node.children)
        if (child.object) child.object->SelectAllChildObject(select);
      return true;
    case 1:
      if (node.object) node.object->SelectAllChildObject(select);
      return true;
    default: return select;
  }
}

}  // namespace job
