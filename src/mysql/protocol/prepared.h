// A session that runs its queries as prepared statements: prepared, executed once
// without a cursor, and streamed as the server sends the rows. Rows then come in the
// binary format, in which a FLOAT is its four bytes; the text protocol gives it with
// six digits and loses the rest.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mysql/protocol/client.h"

namespace mysql {

// Field types of the binary row format that the readers of its values tell apart.
enum FieldType : uint8_t {
  kTypeDecimal = 0,
  kTypeTiny = 1,
  kTypeShort = 2,
  kTypeLong = 3,
  kTypeFloat = 4,
  kTypeDouble = 5,
  kTypeNull = 6,
  kTypeTimestamp = 7,
  kTypeLongLong = 8,
  kTypeInt24 = 9,
  kTypeDate = 10,
  kTypeTime = 11,
  kTypeDateTime = 12,
  kTypeYear = 13,
  kTypeNewDate = 14,
  kTypeBit = 16,
  kTypeNewDecimal = 246,
  kTypeTinyBlob = 249,
  kTypeMediumBlob = 250,
  kTypeLongBlob = 251,
  kTypeBlob = 252,
  kTypeVarString = 253,
  kTypeString = 254,
  kTypeGeometry = 255,
};
constexpr uint32_t kUnsignedFlag = 0x20;
constexpr uint32_t kBinaryCharset = 63;

// The width of a fixed-size binary value, 0 for a length-coded one (text, decimals,
// bit fields) and -1 for a temporal one (its own length byte: 0, 4, 7, 8, 11 or 12).
int BinaryValueWidth(uint8_t type);

// A binary date, time or date-and-time value as the row hands it over (without its
// length byte); missing parts are 0, so an empty value is the zero date.
struct BinaryTemporal {
  bool negative = false;
  uint32_t days = 0;  // TIME only
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  uint32_t microsecond = 0;
};
// False when the length is none the protocol uses.
bool DecodeTemporal(uint8_t type, const char* data, uint32_t length, BinaryTemporal& out);

class PreparedQueryClient : public TMySQLDirectClient {
 public:
  using TMySQLDirectClient::TMySQLDirectClient;
  ~PreparedQueryClient() override;

  // Prepares and executes the statement, which takes no parameters. kOk on success: a
  // result set leaves the session at kResultHeader, and UseResult streams its rows in
  // the binary format (FetchRow: fixed-size values as their little-endian bytes,
  // temporal ones as their bytes after the length byte, the others as their bytes).
  // Otherwise kFailed, with the server's or the client's error on the session.
  ClientResult RunPrepared(const std::string& statement);

 protected:
  std::unique_ptr<TMysqlResult> NewResult(std::vector<TMysqlField> fields) override;

 private:
  // The statement of the last run, closed before the next: its rows must be read first.
  void CloseStatement();

  uint32_t statementId_ = 0;
  bool haveStatement_ = false;
  bool binaryResult_ = false;
};

}  // namespace mysql
