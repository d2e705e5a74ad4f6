#include "mysql/sqltext/name_quoting.h"

#include "mysql/sqltext/text_conv.h"
#include "platform/text/text.h"

namespace mysql {

const std::array<std::string_view, 239> kReservedWords = {
    "ACTION", "ADD", "ALL", "ALTER", "ANALYZE", "AND", "AS", "ASC", "ASENSITIVE",
    "AUTO_INCREMENT", "BDB", "BEFORE", "BERKELEYDB", "BETWEEN", "BIGINT", "BINARY", "BIT", "BLOB",
    "BOTH", "BY", "CALL", "CASCADE", "CASE", "CHANGE", "CHAR", "CHARACTER", "CHECK", "COLLATE",
    "COLUMN", "COLUMNS", "CONDITION", "CONNECTION", "CONSTRAINT", "CONTINUE", "CREATE", "CROSS",
    "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURSOR", "DATABASE", "DATABASES",
    "DATE", "DAY_HOUR", "DAY_MICROSECOND", "DAY_MINUTE", "DAY_SECOND", "DEC", "DECIMAL",
    "DECLARE", "DEFAULT", "DELAYED", "DELETE", "DESC", "DESCRIBE", "DETERMINISTIC", "DISTINCT",
    "DISTINCTROW", "DIV", "DOUBLE", "DROP", "ELSE", "ELSEIF", "ENCLOSED", "ENGINE", "ENUM",
    "ESCAPED", "EXISTS", "EXIT", "EXPLAIN", "FALSE", "FETCH", "FIELDS", "FLOAT", "FOR", "FORCE",
    "FOREIGN", "FOUND", "FRAC_SECOND", "FROM", "FULLTEXT", "GRANT", "GROUP", "HAVING",
    "HIGH_PRIORITY", "HOUR_MICROSECOND", "HOUR_MINUTE", "HOUR_SECOND", "IF", "IGNORE", "IN",
    "INDEX", "INFILE", "INNER", "INNODB", "INOUT", "INSENSITIVE", "INSERT", "INT", "INTEGER",
    "INTERVAL", "INTO", "IO_THREAD", "IS", "ITERATE", "JOIN", "KEY", "KEYS", "KILL", "LEADING",
    "LEAVE", "LEFT", "LIKE", "LIMIT", "LINES", "LOAD", "LOCALTIME", "LOCALTIMESTAMP", "LOCK",
    "LONG", "LONGBLOB", "LONGTEXT", "LOOP", "LOW_PRIORITY", "MASTER_SERVER_ID", "MATCH",
    "MEDIUMBLOB", "MEDIUMINT", "MEDIUMTEXT", "MIDDLEINT", "MINUTE_MICROSECOND", "MINUTE_SECOND",
    "MOD", "NATURAL", "NOT", "NO", "NO_WRITE_TO_BINLOG", "NULL", "NUMERIC", "ON", "OPTIMIZE",
    "OPTION", "OPTIONALLY", "OR", "ORDER", "OUT", "OUTER", "OUTFILE", "PRECISION", "PRIMARY",
    "PRIVILEGES", "PROCEDURE", "PURGE", "READ", "REAL", "REFERENCES", "REGEXP", "RENAME",
    "REPEAT", "REPLACE", "REQUIRE", "RESTRICT", "RETURN", "REVOKE", "RIGHT", "RLIKE",
    "SECOND_MICROSECOND", "SELECT", "SENSITIVE", "SEPARATOR", "SET", "SHOW", "SMALLINT", "SOME",
    "SONAME", "SPATIAL", "SPECIFIC", "SQL", "SQLEXCEPTION", "SQLSTATE", "SQLWARNING",
    "SQL_BIG_RESULT", "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SQL_TSI_DAY",
    "SQL_TSI_FRAC_SECOND", "SQL_TSI_HOUR", "SQL_TSI_MINUTE", "SQL_TSI_MONTH", "SQL_TSI_QUARTER",
    "SQL_TSI_SECOND", "SQL_TSI_WEEK", "SQL_TSI_YEAR", "SSL", "STARTING", "STRAIGHT_JOIN",
    "STRIPED", "TABLE", "TABLES", "TERMINATED", "TEXT", "THEN", "TIME", "TIMESTAMP",
    "TIMESTAMPADD", "TIMESTAMPDIFF", "TINYBLOB", "TINYINT", "TINYTEXT", "TO", "TRAILING", "TRUE",
    "TYPE", "UNDO", "UNION", "UNIQUE", "UNLOCK", "UNSIGNED", "UPDATE", "USAGE", "USE",
    "USER_RESOURCES", "USING", "UTC_DATE", "UTC_TIME", "UTC_TIMESTAMP", "VALUES", "VARBINARY",
    "VARCHAR", "VARCHARACTER", "VARYING", "WHEN", "WHERE", "WHILE", "WITH", "WRITE", "XOR",
    "YEAR_MONTH", "ZEROFILL"};

const std::string& ReservedWordText() {
  static const std::string text = [] {
    std::string t = ",";
    for (std::string_view w : kReservedWords) {
      t += w;
      t += ",";
    }
    return t;
  }();
  return text;
}

bool IsReservedWord(std::string_view name) { return IsReservedWord(name, ReservedWordText()); }

bool IsReservedWord(std::string_view name, std::string_view reservedText) {
  std::string probe = "," + UpperCase(name) + ",";
  return reservedText.find(probe) != std::string_view::npos;
}

bool NeedsQuoting(std::string_view name, bool connected, uint32_t serverVersion) {
  if ((!connected || serverVersion < 32306) && (name.empty() || name.front() == '`'))
    return false;
  if (IsReservedWord(name)) return true;
  if (!name.empty() && name.front() >= '0' && name.front() <= '9') return true;
  for (char c : name) {
    bool plain = c == '$' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                 (c >= 'a' && c <= 'z');
    if (!plain) return true;
  }
  return false;
}

std::string QuoteName(std::string_view name, bool connected, uint32_t serverVersion) {
  if (!NeedsQuoting(name, connected, serverVersion)) return std::string(name);
  if (name.find('.') == std::string_view::npos) return text::QuoteName(name, "`");
  std::string out;
  std::size_t i = 0;
  while (i < name.size()) {
    std::size_t end = name.find('.', i);
    if (end == std::string_view::npos) end = name.size();
    if (end > i) {
      if (!out.empty()) out += '.';
      out += QuoteName(name.substr(i, end - i), connected, serverVersion);
    }
    i = end + 1;
  }
  return out;
}

}  // namespace mysql
