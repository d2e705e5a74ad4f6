// Sectioned parameter text: key=value lines under "[section]" headers, as in an INI
// file. Lines may end in CR LF, LF or CR. A line that begins with "[" opens a section
// named by the whole line; nonempty lines that do not begin with ";" belong to the
// current section; lines before the first section, empty lines and ";" comment lines are
// ignored. Sections ("[" + name + "]") and keys are compared without regard to ASCII
// case. A key is the text before the first "=" of a line, blanks around it ignored (a
// line without "=" is a key with an empty value); its value is everything after that
// "=". When a section or key occurs twice, the first one counts.
// None of these functions throws except on exhaustion of memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mysql {

// The value of `key` in `section`, or `def` when the section or the key is missing.
std::string ReadSectionKey(std::string_view text, std::string_view section, std::string_view key,
                           std::string_view def);

// The section's lines joined with CR LF (no trailing break), or `def` when the section
// does not exist. A section that exists without lines gives "".
std::string ReadSection(std::string_view text, std::string_view section, std::string_view def);

// The integer value of `key`, or `def` when it is missing or not a decimal number that
// fits 32 bits (blanks around it are allowed).
int32_t ReadSectionInt(std::string_view text, std::string_view section, std::string_view key,
                       int32_t def);

// True when the value equals "True" without regard to case; `def` when the key is missing.
bool ReadSectionBool(std::string_view text, std::string_view section, std::string_view key,
                     bool def);

// The text with `key`=`value` set in `section`: the section is appended when missing, an
// existing key gets the new value, else the line is appended to the section. The result
// is rebuilt from the sections in their order, each header followed by its lines, every
// line ending in CR LF; ignored lines (comments, empty lines, lines before the first
// section) are dropped.
std::string WriteSectionKey(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);
// Writes "True" or "False".
std::string WriteSectionBool(std::string_view text, std::string_view section,
                             std::string_view key, bool value);

// Lines of key=value without sections (the lines of one section, such as a driver's
// options): the value of the first line whose key is `key`, or none when no line names
// it. Empty lines and ";" comment lines are skipped.
std::optional<std::string> FindKeyValue(std::string_view lines, std::string_view key);

}  // namespace mysql
