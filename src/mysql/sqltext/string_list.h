// TSBStringList: a list of text lines whose line separator is a settable text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mysql {

class TSBStringList {
 public:
  TSBStringList() = default;
  // The lines of `text`, split as SetText does.
  explicit TSBStringList(std::string_view text) { SetText(text); }

  // CR LF at creation. An empty separator makes Text() concatenate the lines.
  const std::string& Separator() const { return separator_; }
  void SetSeparator(std::string_view separator) { separator_ = separator; }

  // Every line followed by the separator.
  std::string Text() const;
  // Replaces the lines: splits at any character of the separator and at NUL; a run of
  // such characters is one break, so empty lines are dropped.
  void SetText(std::string_view text);

  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Clear() { lines_.clear(); }
  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  // Line i; i must be below Count().
  const std::string& operator[](std::size_t i) const { return lines_[i]; }
  std::string& operator[](std::size_t i) { return lines_[i]; }
  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string>& Lines() { return lines_; }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  friend bool operator==(const TSBStringList&, const TSBStringList&) = default;

 private:
  std::string separator_ = "\r\n";
  std::vector<std::string> lines_;
};

}  // namespace mysql
