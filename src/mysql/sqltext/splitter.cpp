#include "mysql/sqltext/splitter.h"

#include "mysql/sqltext/parser.h"

namespace mysql {

void ConfigureForStatements(TBasicParser& parser) {
  parser.SetOperators("+,-,*,/,=,||,&&,&,<>,|,<<,>>,>,<,~,!,%");
  parser.HexPrefix = "0x";
  parser.LineComments = {"-- ", "#"};
  parser.BlockCommentOpeners = {"/*"};
  parser.BlockCommentClosers = {"*/"};
  parser.MacroOpeners = {"["};
  parser.MacroClosers = {"]"};
  parser.ParameterPrefixes = {":"};
}

std::vector<TScriptStatement> SplitScript(std::string_view script, const TSplitOptions& options) {
  std::vector<TScriptStatement> out;
  if (options.SingleStatement) {
    out.push_back({std::string(script), 1});
    return out;
  }
  TBasicParser parser(script);
  ConfigureForStatements(parser);
  parser.Terminator = options.Terminator.empty() ? ";" : options.Terminator;

  std::string statement;
  std::size_t contentEnd = 0;   // length of `statement` up to the end of its last token
  bool hasContent = false;      // a token other than the terminator and line breaks
  int64_t line = 1;
  std::size_t prevEnd = 0;      // end of the previous token in the script
  std::string gap;              // white space met since the last kept token (KeepLayout)

  auto emit = [&] {
    statement.resize(contentEnd);
    if (hasContent) out.push_back({std::move(statement), line});
    statement.clear();
    contentEnd = 0;
    hasContent = false;
    gap.clear();
  };

  for (;;) {
    uint8_t kind = parser.NextToken(options.KeepLayout);
    std::size_t start = std::size_t(parser.Token().Position - parser.Offset);
    if (options.KeepLayout) gap.append(script.substr(prevEnd, start - prevEnd));
    prevEnd = parser.Position();
    if (kind == tkEnd) {
      emit();
      break;
    }
    const std::string& text = parser.TokenText();
    // An unclosed block comment runs to the end of the script: it is kept, so the server
    // refuses it, instead of the statements after it vanishing without a word.
    bool closed = text.size() >= 4 && text.ends_with("*/");
    bool comment = kind == tkLineComment || kind == tkCommentCloser ||
                   (kind == tkBlockComment && closed &&
                    !(options.KeepExecutableComments &&
                      (text.starts_with("/*!") || text.starts_with("/*M!"))));
    if (comment) continue;

    if (kind == tkTerminator) {
      if (options.KeepTerminator && hasContent) {
        if (options.KeepLayout) statement += gap;
        statement += text;
        contentEnd = statement.size();
      }
      emit();
      continue;
    }
    if (kind == tkLineBreak) {
      // Only between tokens: a statement never starts or ends with one.
      if (hasContent) statement += text;
    } else {
      if (!hasContent) {
        statement.clear();
        line = parser.TokenLine() + 1;
        hasContent = true;
      } else if (options.KeepLayout) {
        statement += gap;
      }
      statement += text;
      contentEnd = statement.size();
    }
    gap.clear();
    if (!options.KeepLayout && hasContent) {
      std::size_t next = parser.Position();
      if (next < script.size() && (script[next] == ' ' || script[next] == '\t')) statement += ' ';
    }
  }
  return out;
}

std::vector<std::string> SplitStatements(const std::vector<std::string>& lines,
                                         bool singleStatement) {
  std::string script;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) script += "\r\n";
    script += lines[i];
  }
  TSplitOptions options;
  options.SingleStatement = singleStatement;
  std::vector<std::string> out;
  for (auto& s : SplitScript(script, options)) out.push_back(std::move(s.Text));
  return out;
}

}  // namespace mysql
