// The MySQL identifier-quoting rule and its reserved words. The driver object offers
// these as its own operations, passing whether it has a connection and the server's
// version number (major * 10000 + minor * 100 + release).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mysql {

// The 239 reserved words, in their order.
extern const std::array<std::string_view, 239> kReservedWords;
// The same words as one text that begins and ends with "," (",ACTION,ADD,...,ZEROFILL,").
const std::string& ReservedWordText();

// True when the name in ASCII upper case, with a comma on each side, occurs in
// `reservedText` (by default ReservedWordText()).
bool IsReservedWord(std::string_view name);
bool IsReservedWord(std::string_view name, std::string_view reservedText);

// Without a connection, or on a server below 3.23.06, an empty name and a name that
// begins with "`" need no quoting. Otherwise a name needs quoting when it is a reserved
// word, begins with a digit, or holds any character other than "$", "_", ASCII letters
// and digits.
bool NeedsQuoting(std::string_view name, bool connected, uint32_t serverVersion);

// The name as it may stand in a statement: unchanged when it needs no quoting; a name
// without "." in backquotes, every backquote inside doubled so that the name can never
// end its quotes early; a name with "." cut into its words at "." (empty words vanish),
// each quoted by itself, joined with ".".
std::string QuoteName(std::string_view name, bool connected, uint32_t serverVersion);

}  // namespace mysql
