#include "mysql/tools/batch_output.h"

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

}  // namespace mysql
