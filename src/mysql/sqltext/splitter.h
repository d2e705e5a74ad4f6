// The statement splitter: cuts a script into statements at ";" with TBasicParser,
// dropping comments. Text inside quotes and backquotes is kept byte for byte (line
// breaks, runs of blanks, "--", "#", "/*" and ";" included); a quote ends a string only
// when an even number of backslashes stands before it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mysql {

struct TSplitOptions {
  // The whole script is one statement, as it stands.
  bool SingleStatement = false;
  // Keep the white space between tokens as it stands. Without it, a line break becomes a
  // blank and a run of blanks or tabs after a token one blank.
  bool KeepLayout = false;
  // Keep "/*!" and "/*M!" comments, which MySQL and MariaDB servers execute.
  bool KeepExecutableComments = false;
  // End each statement with its terminator.
  bool KeepTerminator = true;
  std::string Terminator = ";";
};

struct TScriptStatement {
  std::string Text;
  int64_t Line = 1;  // line of the script (from 1) where the statement's first token stands
};

// The statements of `script`, in order. A statement that holds nothing but its
// terminator (";" alone, or ";" after comments) is skipped, as the mysql client skips it.
std::vector<TScriptStatement> SplitScript(std::string_view script,
                                          const TSplitOptions& options = {});

// The splitter of the components: the lines joined with CR LF, split with the default
// options; with `singleStatement` the joined text is the one statement.
std::vector<std::string> SplitStatements(const std::vector<std::string>& lines,
                                         bool singleStatement);

// A TBasicParser set up as the splitter uses it: operators
// "+,-,*,/,=,||,&&,&,<>,|,<<,>>,>,<,~,!,%", hexadecimal prefix "0x", line comments "-- "
// and "#", block comments "/*" "*/", macros "[" "]", parameter prefix ":".
class TBasicParser;
void ConfigureForStatements(TBasicParser& parser);

}  // namespace mysql
