#include "mysql/protocol/batch_output.h"

namespace mysql {

void AppendBatchEscaped(std::string& out, const char* value, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    char c = value[i];
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      case '\0': out += "\\0"; break;
      default: out.push_back(c); break;
    }
  }
}

bool StatementSplitter::AddLine(const std::string& line) {
  if (!text_.empty()) text_.push_back('\n');
  text_ += line;
  size_t end = line.find_last_not_of(" \t\r");
  return end != std::string::npos && line[end] == ';';
}

std::string StatementSplitter::Take() {
  std::string s;
  s.swap(text_);
  size_t end = s.find_last_not_of(" \t\r\n");
  if (end != std::string::npos && s[end] == ';')
    s.erase(end);
  else if (end != std::string::npos)
    s.erase(end + 1);
  size_t start = s.find_first_not_of(" \t\r\n");
  return start == std::string::npos ? std::string() : s.substr(start);
}

bool StatementSplitter::HasPending() const {
  return text_.find_first_not_of(" \t\r\n") != std::string::npos;
}

}  // namespace mysql
