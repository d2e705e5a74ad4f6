// Trimming, upper- and lower-casing and comparing without regard to case, for names,
// keys and type words. ASCII only and independent of the C locale: names are UTF-8,
// and a byte of a multibyte character is never a blank or a letter here.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Space, tab, line feed, vertical tab, form feed, carriage return: what isspace()
// says in the C locale.
bool IsBlank(char c);

// The text without blanks at either end.
std::string_view TrimBlanks(std::string_view s);
// The text without blanks or other control characters (every byte up to the space)
// at either end: for what a user typed, where none of them can be seen.
std::string_view TrimControls(std::string_view s);
// The text without spaces or tabs at either end: for the MySQL layer's option lines and
// numbers, where a line break or other control character is part of the value.
std::string_view TrimSpacesAndTabs(std::string_view s);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// The same into out, reusing its storage: for lookups made once a row.
void LowerCase(std::string_view s, std::string& out);

// Without regard to ASCII case, as SQL keywords, OLE DB keys and most database names
// compare.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view head);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
// Negative, zero or positive as a sorts before, with or after b when case is ignored.
int CompareNoCase(std::string_view a, std::string_view b);

// The text between two quotes, each quote inside it doubled: a name as SQL reads it,
// whatever it holds. Without a quote, the text as it is.
std::string QuoteName(std::string_view s, std::string_view quote);

// The text as it goes between single quotes in a SQL statement: a quote doubled;
// with mysqlEscapes a backslash doubled too and a zero byte, CR and LF written as
// \0, \r and \n, as the server's own escaping writes them, so the statement stays on
// its line. Without it every other byte stands as it is.
std::string EscapeSqlText(std::string_view s, bool mysqlEscapes);
// EscapeSqlText between single quotes.
std::string SqlTextLiteral(std::string_view s, bool mysqlEscapes);

}  // namespace text
