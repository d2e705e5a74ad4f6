// Result printing of the command-line client, in the layout of `mariadb --batch`.
#pragma once

#include <cstdint>
#include <string>

namespace mysql {

// Tab, line feed, backslash and zero bytes written as \t, \n, \\ and \0.
void AppendBatchEscaped(std::string& out, const char* value, uint32_t length);

// Statements of a script read from standard input: a statement ends with a line that
// ends in ";" (the ";" and the line break are not part of it). Text after the last
// such line is a last statement when it is not blank.
class StatementSplitter {
 public:
  // Adds one line (without its line break); true when it completes a statement.
  bool AddLine(const std::string& line);
  // The completed statement; empties the splitter.
  std::string Take();
  bool HasPending() const;

 private:
  std::string text_;
};

}  // namespace mysql
