// Queries and streamed result sets on a TMysqlClient session.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "mysql/protocol/client.h"
#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/wire.h"

namespace mysql {

namespace {

constexpr size_t kLocalFileChunk = 61440;

bool IsEndPacket(const uint8_t* p, int length) {
  return length < 8 && p[0] == 0xFE;
}

size_t SkipBlankAndComments(const std::string& s, size_t i) {
  for (;;) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      if (end == std::string::npos) return s.size();
      i = end + 2;
    } else if (s.compare(i, 1, "#") == 0 || s.compare(i, 3, "-- ") == 0) {
      size_t end = s.find('\n', i);
      if (end == std::string::npos) return s.size();
      i = end + 1;
    } else {
      return i;
    }
  }
}

// The next word, upper-cased, or empty.
std::string NextWord(const std::string& s, size_t& i) {
  i = SkipBlankAndComments(s, i);
  std::string word;
  while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) {
    word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(s[i]))));
    ++i;
  }
  return word;
}

}  // namespace

std::optional<std::string> LocalInfileName(const std::string& statement) {
  size_t i = 0;
  if (NextWord(statement, i) != "LOAD" || NextWord(statement, i) != "DATA") return std::nullopt;
  std::string word = NextWord(statement, i);
  if (word == "LOW_PRIORITY" || word == "CONCURRENT") word = NextWord(statement, i);
  if (word != "LOCAL" || NextWord(statement, i) != "INFILE") return std::nullopt;
  i = SkipBlankAndComments(statement, i);
  if (i >= statement.size() || (statement[i] != '\'' && statement[i] != '"')) return std::nullopt;
  const char quote = statement[i++];
  std::string name;
  while (i < statement.size()) {
    char c = statement[i++];
    if (c == quote) {
      if (i < statement.size() && statement[i] == quote) {
        name.push_back(quote);
        ++i;
        continue;
      }
      return name;
    }
    if (c == '\\' && i < statement.size()) {
      char e = statement[i++];
      switch (e) {
        case '0': name.push_back('\0'); break;
        case 'b': name.push_back('\b'); break;
        case 'n': name.push_back('\n'); break;
        case 'r': name.push_back('\r'); break;
        case 't': name.push_back('\t'); break;
        case 'Z': name.push_back('\x1A'); break;
        case '%':
        case '_':
          name.push_back('\\');
          name.push_back(e);
          break;
        default: name.push_back(e); break;
      }
      continue;
    }
    name.push_back(c);
  }
  return std::nullopt;
}

int TMysqlClient::Query(const std::string& statement) {
  if (statement.empty()) return 0;
  // The server still sends results of the last statement.
  if (MoreResults()) {
    ClientError(CR_COMMANDS_OUT_OF_SYNC);
    return 1;
  }
  if (reconnect_ && !Ping()) return 1;
  if (SimpleCommand(kComQuery, statement.data(), statement.size(), true, reconnect_) != 0) {
    return 1;
  }
  int rc;
  try {
    localInfile_ = LocalInfileName(statement);
    rc = ReadQueryResultSteps();
  } catch (const std::bad_alloc&) {
    rc = OutOfMemory();
  }
  localInfile_.reset();
  return rc;
}

bool TMysqlClient::AtRowsEnd(const uint8_t* p, int length) {
  if (!IsEndPacket(p, length)) return false;
  // A 4.1 end packet: 0xFE, warning count, status.
  if (length >= 5 && (serverCaps_ & kClientProtocol41)) {
    serverStatus_ = static_cast<uint16_t>(p[3] | (p[4] << 8));
  }
  return true;
}

int TMysqlClient::NextResult() {
  if (!MoreResults()) {
    ClientError(CR_COMMANDS_OUT_OF_SYNC);
    return -1;
  }
  return ReadQueryResult();
}

int TMysqlClient::OutOfMemory() {
  net_.Vio().Close();
  fields_.clear();
  haveFields_ = false;
  status_ = kReady;
  ClientError(CR_OUT_OF_MEMORY);
  return -1;
}

void TMysqlClient::DrainRows() {
  for (;;) {
    int len = net_.SafeRead();
    if (len < 0 || AtRowsEnd(net_.ReadPos(), len)) break;
  }
  status_ = kReady;
}

int TMysqlClient::ReadOk(const uint8_t* p, int length) {
  PacketReader in(p, static_cast<size_t>(length));
  uint64_t value = 0, affected = 0, insertId = 0;
  bool isNull = false;
  in.Skip(1);
  if (!in.LengthCoded(affected, isNull) || !in.LengthCoded(insertId, isNull)) return Malformed();
  affectedRows_ = affected;
  insertId_ = insertId;
  const bool v41 = (clientFlags_ & kClientProtocol41) != 0;
  if ((v41 || (serverCaps_ & kClientTransactions)) && in.Remaining() >= 2) {
    in.Fixed(2, value);
    if (serverCaps_ & kClientTransactions) serverStatus_ = static_cast<uint16_t>(value);
  }
  // A 4.1 server puts the warning count before the message.
  if (v41 && in.Remaining() >= 2) in.Skip(2);
  if (in.Remaining() > 0) {
    std::string info;
    if (!in.LengthCodedString(info)) return Malformed();
    size_t zero = info.find('\0');
    info_ = zero == std::string::npos ? info : info.substr(0, zero);
  }
  return 0;
}

int TMysqlClient::SendLocalFile(const std::string& name) {
  auto sendEmpty = [this] { return net_.WritePacket("", 0) == 0 && net_.Flush() == 0; };
  std::string refusal;
  if (!localFilesAllowed_ || !(clientFlags_ & kClientLocalFiles)) {
    refusal = "local files are not allowed ('" + name + "')";
  } else if (!localInfile_) {
    refusal = "the statement sent asks for no local file ('" + name + "')";
  } else if (*localInfile_ != name) {
    refusal = "'" + name + "' is not the file the statement names ('" + *localInfile_ + "')";
  }
  // One upload per statement.
  localInfile_.reset();
  int error = 0;
  std::string text;
  if (!refusal.empty()) {
    error = CR_LOCAL_INFILE_REFUSED;
    text = FormatClientError(CR_LOCAL_INFILE_REFUSED, refusal.c_str());
    if (!sendEmpty()) {
      ClientError(CR_SERVER_LOST);
      return -1;
    }
  } else {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) {
      error = 0;
      char buf[512];
      std::snprintf(buf, sizeof(buf), "File '%s' not found (Errcode: %d)", name.c_str(), errno);
      text = buf;
      if (!sendEmpty()) {
        ClientError(CR_SERVER_LOST);
        return -1;
      }
    } else {
      std::vector<char> chunk(kLocalFileChunk);
      bool ok = true;
      for (;;) {
        size_t n = std::fread(chunk.data(), 1, chunk.size(), f);
        if (n > 0 && net_.WritePacket(chunk.data(), n) != 0) {
          ok = false;
          break;
        }
        if (n < chunk.size()) break;
      }
      bool readFailed = std::ferror(f) != 0;
      int readErrno = errno;
      std::fclose(f);
      if (!ok || !sendEmpty()) {
        ClientError(CR_SERVER_LOST);
        return -1;
      }
      if (readFailed) {
        char buf[512];
        std::snprintf(buf, sizeof(buf), "Error reading file '%s' (Errcode: %d)", name.c_str(),
                      readErrno);
        text = buf;
      } else {
        return 0;
      }
    }
  }
  // The server answers the empty upload: an OK, or an error, ends the statement and the
  // session is in step; the reason reported is why nothing was sent. Anything else (a
  // result, another request) would leave the session out of step with the server.
  int len = net_.SafeRead();
  if (len < 0) {
    if (!net_.IsConnected()) return -1;
  } else if (net_.ReadPos()[0] == 0x00) {
    if (ReadOk(net_.ReadPos(), len) != 0) return -1;
  } else {
    return Malformed();
  }
  net_.SetErrorNumber(error);
  net_.SetErrorText(text);
  return -1;
}

int TMysqlClient::ReadQueryResult() {
  try {
    return ReadQueryResultSteps();
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

int TMysqlClient::ReadQueryResultSteps() {
  // Cleared first so that an error packet ends a chain of results.
  serverStatus_ &= static_cast<uint16_t>(~kServerMoreResultsExist);
  int len = net_.SafeRead();
  if (len < 0) return -1;
  fields_.clear();
  haveFields_ = false;
  for (;;) {
    const uint8_t* p = net_.ReadPos();
    PacketReader in(p, static_cast<size_t>(len));
    uint64_t count = 0;
    bool isNull = false;
    if (!in.LengthCoded(count, isNull)) return Malformed();
    if (isNull) {
      std::string name = in.RestAsText();
      if (SendLocalFile(name) != 0) return -1;
      len = net_.SafeRead();
      if (len < 0) return -1;
      continue;
    }
    if (count == 0) return ReadOk(p, len);
    // Every column needs at least a byte of every row: more cannot fit in a packet.
    if (count > kMaxPayload) return Malformed();
    if (!(serverStatus_ & kServerAutocommit)) serverStatus_ |= kServerInTransaction;
    uint64_t extra = 0;
    if (in.Remaining() > 0 && !in.LengthCoded(extra, isNull)) return Malformed();
    extraInfo_ = extra;
    return ReadColumns(count);
  }
}

int TMysqlClient::ReadColumns(uint64_t count) {
  const bool v41 = (serverCaps_ & kClientProtocol41) != 0;
  std::vector<TMysqlField> fields;
  fields.reserve(static_cast<size_t>(std::min<uint64_t>(count, 4096)));
  for (;;) {
    int len = net_.SafeRead();
    if (len < 0) return -1;
    const uint8_t* p = net_.ReadPos();
    if (IsEndPacket(p, len)) break;
    if (fields.size() >= count) return Malformed();
    PacketReader in(p, static_cast<size_t>(len));
    TMysqlField f;
    const uint8_t* block = nullptr;
    size_t blockLen = 0;
    bool isNull = false;
    if (v41) {
      if (!in.LengthCodedString(f.catalog) || !in.LengthCodedString(f.db) ||
          !in.LengthCodedString(f.table) || !in.LengthCodedString(f.org_table) ||
          !in.LengthCodedString(f.name) || !in.LengthCodedString(f.org_name) ||
          !in.LengthCodedText(block, blockLen, isNull) || blockLen < 10) {
        return Malformed();
      }
      f.charsetnr = block[0] | (block[1] << 8);
      f.length = uint32_t{block[2]} | (uint32_t{block[3]} << 8) | (uint32_t{block[4]} << 16) |
                 (uint32_t{block[5]} << 24);
      f.type = block[6];
      f.flags = block[7] | (block[8] << 8);
      f.decimals = block[9];
      if (f.type >= 249 && f.type <= 252) f.flags |= kBlobFlag;
    } else {
      const uint8_t* lenBytes = nullptr;
      const uint8_t* typeBytes = nullptr;
      size_t lenLen = 0, typeLen = 0;
      const size_t flagBytes = (serverCaps_ & kClientLongFlag) ? 3 : 2;
      if (!in.LengthCodedString(f.table) || !in.LengthCodedString(f.name) ||
          !in.LengthCodedText(lenBytes, lenLen, isNull) || lenLen < 3 ||
          !in.LengthCodedText(typeBytes, typeLen, isNull) || typeLen < 1 ||
          !in.LengthCodedText(block, blockLen, isNull) || blockLen < flagBytes) {
        return Malformed();
      }
      f.length =
          uint32_t{lenBytes[0]} | (uint32_t{lenBytes[1]} << 8) | (uint32_t{lenBytes[2]} << 16);
      f.type = typeBytes[0];
      if (flagBytes == 3) {
        f.flags = block[0] | (block[1] << 8);
        f.decimals = block[2];
      } else {
        f.flags = block[0];
        f.decimals = block[1];
      }
    }
    f.max_length = 0;
    // 246 is the exact decimal type of servers since 5.0.3, numeric like the old one (0).
    if ((f.type <= 9 && f.type != 7) || (f.type == 7 && (f.length == 14 || f.length == 8)) ||
        f.type == 13 || f.type == 246) {
      f.flags |= kNumFlag;
    }
    fields.push_back(std::move(f));
  }
  if (fields.size() != count) return Malformed();
  fields_ = std::move(fields);
  haveFields_ = true;
  status_ = kResultHeader;
  return 0;
}

std::unique_ptr<TMysqlResult> TMysqlClient::UseResult() {
  if (!haveFields_) return nullptr;
  if (status_ != kResultHeader) {
    ClientError(CR_COMMANDS_OUT_OF_SYNC);
    return nullptr;
  }
  std::unique_ptr<TMysqlResult> result;
  try {
    result = NewResult(std::move(fields_));
  } catch (const std::bad_alloc&) {
    // Nobody can read these rows: drop them so the session goes on.
    fields_.clear();
    haveFields_ = false;
    DrainRows();
    ClientError(CR_OUT_OF_MEMORY);
    return nullptr;
  }
  fields_.clear();
  haveFields_ = false;
  status_ = kStreaming;
  current_ = result.get();
  result->ReadRow();
  result->pending_ = !result->atEnd_;
  return result;
}

void TMysqlClient::FinishStreaming(TMysqlResult* result, uint64_t rows) {
  if (current_ == result) current_ = nullptr;
  status_ = kReady;
  affectedRows_ = rows;
}

TMysqlResult::TMysqlResult(TMysqlClient* session, std::vector<TMysqlField> fields)
    : session_(session), fields_(std::move(fields)) {
  lengths_.assign(fields_.size(), 0);
  row_.assign(fields_.size(), nullptr);
}

TMysqlResult::~TMysqlResult() {
  TMysqlClient* s = session_;
  if (!s) return;
  if (s->current_ == this) s->current_ = nullptr;
  if (s->status_ == TMysqlClient::kStreaming) {
    for (;;) {
      int len = s->net_.SafeRead();
      if (len < 0 || s->AtRowsEnd(s->net_.ReadPos(), len)) break;
    }
    s->FinishStreaming(this, rowCount_);
  }
}

void FreeResult(std::unique_ptr<TMysqlResult>& result) {
  result.reset();
}

void TMysqlResult::End(int result) {
  atEnd_ = true;
  lastRead_ = result;
  if (session_) session_->FinishStreaming(this, rowCount_);
  session_ = nullptr;
}

void TMysqlResult::ReadRow() {
  if (!session_) {
    if (!atEnd_) lastRead_ = -1;
    atEnd_ = true;
    return;
  }
  TMysqlNet& net = session_->net_;
  int len = net.SafeRead();
  if (len < 0) return End(-1);
  const uint8_t* p = net.ReadPos();
  if (session_->AtRowsEnd(p, len)) return End(1);

  const size_t n = fields_.size();
  // The values and their terminators never take more than the packet plus one byte
  // per column.
  const size_t need = static_cast<size_t>(len) + n;
  if (block_.size() < need) {
    try {
      block_.resize(need);
    } catch (const std::bad_alloc&) {
      // The row cannot be kept: end the rows with 2008 instead of losing it quietly,
      // and drop the rest so the session goes on.
      TMysqlClient* s = session_;
      End(-1);
      s->DrainRows();
      s->ClientError(CR_OUT_OF_MEMORY);
      return;
    }
  }
  if (binary_) return ReadBinaryValues(p, static_cast<size_t>(len));
  char* out = block_.data();
  PacketReader in(p, static_cast<size_t>(len));
  size_t used = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool isNull = false;
    if (!in.LengthCodedText(data, size, isNull)) {
      session_->Malformed();
      return End(-1);
    }
    if (isNull) {
      row_[i] = nullptr;
      lengths_[i] = 0;
      continue;
    }
    char* dst = out + used;
    if (size) std::memcpy(dst, data, size);
    dst[size] = '\0';
    row_[i] = dst;
    lengths_[i] = static_cast<uint32_t>(size);
    used += size + 1;
  }
  if (in.Remaining() != 0) {
    // More values than columns.
    session_->Malformed();
    return End(-1);
  }
  currentRow_ = static_cast<int64_t>(rowCount_);
  ++rowCount_;
  lastRead_ = 0;
}

const char* const* TMysqlResult::FetchRow() {
  if (rowCount_ == 0 || atEnd_) return nullptr;
  if (!pending_) ReadRow();
  pending_ = false;
  if (atEnd_) return nullptr;
  return row_.data();
}

const TMysqlField* TMySQLDirectResult::FetchField() {
  ++cursor_;
  if (cursor_ < 0 || static_cast<size_t>(cursor_) >= Fields().size()) return nullptr;
  return &Fields()[static_cast<size_t>(cursor_)];
}

}  // namespace mysql
