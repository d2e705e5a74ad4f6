#include "job/fill_order.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using job::TForeignKeyLink;

// Objects a..f in catalogue order; each case gives links and the expected groups,
// a cycle written in brackets.
struct Case {
  const char* what;
  std::vector<TForeignKeyLink> links;
  const char* expected;
};

std::string Render(const std::vector<job::TFillGroup>& groups) {
  std::string out;
  for (const auto& g : groups) {
    if (!out.empty()) out += " ";
    if (g.cycle) out += "[";
    for (std::size_t i = 0; i < g.objects.size(); ++i)
      out += (i ? "," : "") + g.objects[i]->ObjectName;
    if (g.cycle) out += "]";
  }
  return out;
}

TEST(FillOrder, ParentsBeforeChildrenCyclesTogetherOtherwiseCatalogueOrder) {
  const Case cases[] = {
      {"no links", {}, "a b c d e f"},
      {"child before its parent", {{"a", "c"}}, "b c a d e f"},
      {"a chain", {{"a", "b"}, {"b", "c"}}, "c b a d e f"},
      {"two parents", {{"a", "e"}, {"a", "d"}}, "b c d e a f"},
      {"a cycle", {{"b", "d"}, {"d", "b"}}, "a [b,d] c e f"},
      {"a table that refers to itself", {{"c", "c"}}, "a b [c] d e f"},
      {"a cycle with a parent outside", {{"a", "b"}, {"b", "a"}, {"b", "f"}}, "c d e f [a,b]"},
      {"unknown tables and case", {{"A", "E"}, {"x", "a"}}, "b c d e a f"},
  };
  for (const auto& c : cases) {
    std::vector<std::unique_ptr<TCorvaneObject>> owned;
    std::vector<TCorvaneObject*> objects;
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
      owned.push_back(std::make_unique<TCorvaneObject>());
      owned.back()->ObjectName = name;
      objects.push_back(owned.back().get());
    }
    EXPECT_EQ(Render(job::FillOrder(objects, c.links)), c.expected) << c.what;
  }
}

}  // namespace
