// Result printing of the command-line client, in the layout of `mariadb --batch`.
#pragma once

#include <cstdint>
#include <string>

namespace mysql {

// Tab, line feed, backslash and zero bytes written as \t, \n, \\ and \0.
void AppendBatchEscaped(std::string& out, const char* value, uint32_t length);

}  // namespace mysql
