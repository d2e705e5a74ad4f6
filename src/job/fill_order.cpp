#include "job/fill_order.h"

#include <algorithm>
#include <functional>

#include "platform/text/text.h"

namespace job {

namespace {

std::string Text(const ado::Variant& v) {
  return v.isNull() ? std::string() : ado::VariantToText(v);
}

std::string ForeignKeyQuery(TDatabaseKind kind) {
  if (IsMySQLDialect(kind))
    return "SELECT TABLE_NAME, REFERENCED_TABLE_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS "
           "WHERE CONSTRAINT_SCHEMA = DATABASE()";
  if (IsSQLServerDialect(kind))
    return "SELECT fk.TABLE_NAME, pk.TABLE_NAME FROM INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS r "
           "JOIN INFORMATION_SCHEMA.TABLE_CONSTRAINTS fk ON fk.CONSTRAINT_SCHEMA = "
           "r.CONSTRAINT_SCHEMA AND fk.CONSTRAINT_NAME = r.CONSTRAINT_NAME "
           "JOIN INFORMATION_SCHEMA.TABLE_CONSTRAINTS pk ON pk.CONSTRAINT_SCHEMA = "
           "r.UNIQUE_CONSTRAINT_SCHEMA AND pk.CONSTRAINT_NAME = r.UNIQUE_CONSTRAINT_NAME";
  return "SELECT * FROM MSysRelationships";
}

}  // namespace

std::vector<TForeignKeyLink> ReadForeignKeys(ado::Connection& source, TDatabaseKind kind) {
  std::vector<TForeignKeyLink> out;
  if (!IsMySQLDialect(kind) && !IsSQLServerDialect(kind) && !IsAccessDialect(kind)) return out;
  auto rs = source.openQuery(ForeignKeyQuery(kind));
  const bool access = IsAccessDialect(kind);
  for (rs->first(); !rs->eof(); rs->next()) {
    if (access)
      out.push_back({Text(rs->value("szObject")), Text(rs->value("szReferencedObject"))});
    else
      out.push_back({Text(rs->value(0)), Text(rs->value(1))});
  }
  return out;
}

std::vector<TFillGroup> FillOrder(const std::vector<TCorvaneObject*>& objects,
                                  const std::vector<TForeignKeyLink>& links) {
  const int n = static_cast<int>(objects.size());
  auto find = [&](const std::string& name) {
    for (int i = 0; i < n; ++i)
      if (objects[i]->ObjectName == name) return i;
    for (int i = 0; i < n; ++i)
      if (text::EqualsNoCase(objects[i]->ObjectName, name)) return i;
    return -1;
  };
  // parents[i]: the objects that object i refers to.
  std::vector<std::vector<int>> parents(n);
  std::vector<bool> selfLink(n, false);
  for (const auto& l : links) {
    const int c = find(l.child), p = find(l.parent);
    if (c < 0 || p < 0) continue;
    if (c == p) selfLink[c] = true;
    parents[c].push_back(p);
  }

  // Strongly connected components (Tarjan): each is a cycle or a single table.
  std::vector<int> index(n, -1), low(n, 0), component(n, -1), stack;
  std::vector<bool> onStack(n, false);
  int counter = 0, components = 0;
  std::function<void(int)> visit = [&](int v) {
    index[v] = low[v] = counter++;
    stack.push_back(v);
    onStack[v] = true;
    for (int w : parents[v]) {
      if (index[w] < 0) {
        visit(w);
        low[v] = std::min(low[v], low[w]);
      } else if (onStack[w]) {
        low[v] = std::min(low[v], index[w]);
      }
    }
    if (low[v] == index[v]) {
      for (int w = -1; w != v;) {
        w = stack.back();
        stack.pop_back();
        onStack[w] = false;
        component[w] = components;
      }
      ++components;
    }
  };
  for (int i = 0; i < n; ++i)
    if (index[i] < 0) visit(i);

  std::vector<TFillGroup> groups(components);
  std::vector<int> first(components, n);  // the group's first object in catalogue order
  for (int i = 0; i < n; ++i) {
    groups[component[i]].objects.push_back(objects[i]);
    first[component[i]] = std::min(first[component[i]], i);
    if (selfLink[i]) groups[component[i]].cycle = true;
  }
  std::vector<std::vector<int>> groupParents(components);
  for (int i = 0; i < n; ++i)
    for (int p : parents[i])
      if (component[p] != component[i]) groupParents[component[i]].push_back(component[p]);
  for (auto& g : groups)
    if (g.objects.size() > 1) g.cycle = true;

  // Groups whose parents are all placed, the earliest in catalogue order first.
  std::vector<TFillGroup> out;
  std::vector<bool> placed(components, false);
  for (int done = 0; done < components; ++done) {
    int pick = -1;
    for (int g = 0; g < components; ++g) {
      if (placed[g]) continue;
      const bool ready = std::all_of(groupParents[g].begin(), groupParents[g].end(),
                                     [&](int p) { return placed[p]; });
      if (ready && (pick < 0 || first[g] < first[pick])) pick = g;
    }
    placed[pick] = true;
    out.push_back(std::move(groups[pick]));
  }
  return out;
}

}  // namespace job
