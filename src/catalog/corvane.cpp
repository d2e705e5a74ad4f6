#include "catalog/corvane.h"

#include "platform/text/text.h"

void* TCorvaneObject::SelectAllChildObject(bool select, void* node) {
  for (auto& f : Fields) f.Selected = select;
  for (auto& i : Indexes) i.Selected = select;
  Selected = select;
  return node;
}

bool TCorvaneObject::HasPrimaryKey() const {
  for (const auto& i : Indexes)
    if (i.IsPrimaryKey) return true;
  return false;
}

const TCorvaneField* TCorvaneObject::FindField(std::string_view name) const {
  for (const auto& f : Fields)
    if (text::EqualsNoCase(f.FieldName, name)) return &f;
  return nullptr;
}

void TCorvane::ClearDBInfo() {
  Objects.clear();
  DBKind = dkNone;
  Connection = nullptr;
}

void TCorvane::SelectAllChildObject(bool select) {
  for (auto& o : Objects) o.SelectAllChildObject(select);
}

int TCorvane::TableCount() const {
  int n = 0;
  for (const auto& o : Objects) n += o.ObjectKind == okTable;
  return n;
}

int TCorvane::ViewCount() const {
  int n = 0;
  for (const auto& o : Objects) n += o.ObjectKind == okView;
  return n;
}
