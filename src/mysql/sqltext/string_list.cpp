#include "mysql/sqltext/string_list.h"

namespace mysql {

std::string TSBStringList::Text() const {
  std::size_t size = 0;
  for (const auto& line : lines_) size += line.size() + separator_.size();
  std::string text;
  text.reserve(size);
  for (const auto& line : lines_) {
    text += line;
    text += separator_;
  }
  return text;
}

void TSBStringList::SetText(std::string_view text) {
  lines_.clear();
  auto isBreak = [this](char c) { return c == '\0' || separator_.find(c) != std::string::npos; };
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isBreak(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !isBreak(text[i])) ++i;
    if (i > start) lines_.emplace_back(text.substr(start, i - start));
  }
}

}  // namespace mysql
