#include "platform/ado/forward_query.h"

namespace ado {

namespace {
const Variant kNull;
}

void ForwardQuery::setColumns(std::vector<std::string> names) {
  names_ = std::move(names);
  values_.assign(names_.size(), Variant());
}

void ForwardQuery::start() {
  position_ = 0;
  eof_ = false;
  fetch();
}

void ForwardQuery::markEnd() {
  eof_ = true;
  for (auto& v : values_) v.setNull();
}

void ForwardQuery::fetch() {
  for (;;) {
    if (!readRow(values_)) {
      markEnd();
      return;
    }
    if (filter_.passes(values_)) return;
    ++position_;
  }
}

void ForwardQuery::first() {
  if ((position_ == 0 && !eof_) || names_.empty()) return;
  rerun();
  start();
}

void ForwardQuery::next() {
  if (eof_) return;
  ++position_;
  fetch();
}

const std::string& ForwardQuery::fieldName(int index) const {
  return names_.at(static_cast<std::size_t>(index));
}

const Variant& ForwardQuery::value(int index) const {
  if (index < 0 || index >= fieldCount())
    throw DatabaseError("Item cannot be found: column " + std::to_string(index));
  return eof_ ? kNull : values_[static_cast<std::size_t>(index)];
}

void ForwardQuery::setFilter(const std::string& filter) {
  filter_ = BindFilter(*this, filter);
  position_ = 1;  // always run again: rows before the filter was set have been passed
  first();
}

}  // namespace ado
