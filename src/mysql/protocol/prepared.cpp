#include "mysql/protocol/prepared.h"

#include <cstring>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/wire.h"

namespace mysql {

namespace {

constexpr uint8_t kComStmtPrepare = 0x16;
constexpr uint8_t kComStmtExecute = 0x17;
constexpr uint8_t kComStmtClose = 0x19;
constexpr uint8_t kCursorTypeNone = 0;

bool IsEndPacket(const uint8_t* p, int length) {
  return length < 8 && p[0] == 0xFE;
}

void PutId(uint8_t* out, uint32_t id) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(id >> (8 * i));
}

uint32_t Little(const char* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint32_t{static_cast<uint8_t>(p[i])} << (8 * i);
  return v;
}

}  // namespace

int BinaryValueWidth(uint8_t type) {
  switch (type) {
    case kTypeTiny: return 1;
    case kTypeShort:
    case kTypeYear: return 2;
    case kTypeLong:
    case kTypeInt24:
    case kTypeFloat: return 4;
    case kTypeLongLong:
    case kTypeDouble: return 8;
    case kTypeTimestamp:
    case kTypeDate:
    case kTypeTime:
    case kTypeDateTime:
    case kTypeNewDate: return -1;
    default: return 0;
  }
}

bool DecodeTemporal(uint8_t type, const char* p, uint32_t length, BinaryTemporal& out) {
  out = BinaryTemporal{};
  if (type == kTypeTime) {
    if (length != 0 && length != 8 && length != 12) return false;
    if (length == 0) return true;
    out.negative = p[0] != 0;
    out.days = Little(p + 1, 4);
    out.hour = static_cast<uint8_t>(p[5]);
    out.minute = static_cast<uint8_t>(p[6]);
    out.second = static_cast<uint8_t>(p[7]);
    if (length == 12) out.microsecond = Little(p + 8, 4);
    return true;
  }
  if (length != 0 && length != 4 && length != 7 && length != 11) return false;
  if (length >= 4) {
    out.year = static_cast<int>(Little(p, 2));
    out.month = static_cast<uint8_t>(p[2]);
    out.day = static_cast<uint8_t>(p[3]);
  }
  if (length >= 7) {
    out.hour = static_cast<uint8_t>(p[4]);
    out.minute = static_cast<uint8_t>(p[5]);
    out.second = static_cast<uint8_t>(p[6]);
  }
  if (length == 11) out.microsecond = Little(p + 7, 4);
  return true;
}

bool TMysqlResult::ReadBinaryValues(const uint8_t* p, size_t length) {
  const size_t n = fields_.size();
  PacketReader in(p, length);
  // A zero byte, then the null bits, which start at bit 2.
  uint64_t header = 1;
  const size_t bitmapSize = (n + 7 + 2) / 8;
  bool ok = in.Fixed(1, header) && header == 0;
  const uint8_t* bitmap = in.Position();
  ok = ok && in.Skip(bitmapSize);
  // The caller sized the block for the packet and a terminator per column.
  size_t used = 0;
  for (size_t i = 0; ok && i < n; ++i) {
    const size_t bit = i + 2;
    if (bitmap[bit / 8] & (1u << (bit % 8))) {
      StoreNull(i);
      continue;
    }
    const uint8_t* data = in.Position();
    size_t size = 0;
    const int width = BinaryValueWidth(fields_[i].type);
    if (width > 0) {
      size = static_cast<size_t>(width);
      ok = in.Skip(size);
    } else if (width < 0) {
      uint64_t l = 0;
      ok = in.Fixed(1, l);
      data = in.Position();
      size = static_cast<size_t>(l);
      ok = ok && in.Skip(size);
    } else {
      bool isNull = false;
      ok = in.LengthCodedText(data, size, isNull) && !isNull;
    }
    if (ok) StoreValue(i, data, size, used);
  }
  return ok && in.Remaining() == 0;
}

PreparedQueryClient::~PreparedQueryClient() {
  CloseStatement();
}

void PreparedQueryClient::CloseStatement() {
  if (!haveStatement_) return;
  haveStatement_ = false;
  if (!IsConnected() || Status() != kReady) return;
  uint8_t id[4];
  PutId(id, statementId_);
  // No reply comes; a failed write shows in the next command.
  Net().Clear();
  Net().WriteCommand(kComStmtClose, id, sizeof id);
}

ClientResult PreparedQueryClient::RunPrepared(const std::string& statement) {
  TMysqlNet& net = Net();
  binaryResult_ = false;
  if (!IsConnected()) {
    if (ErrorNumber() == 0) net.SetClientError(CR_SERVER_GONE_ERROR);
    return ClientResult::kFailed;
  }
  if (Status() != kReady) {
    net.SetClientError(CR_COMMANDS_OUT_OF_SYNC);
    return ClientResult::kFailed;
  }
  CloseStatement();
  if (statement.size() + 1 >= 0xFFFFFF) {
    net.SetClientError(CR_NET_PACKET_TOO_LARGE);
    return ClientResult::kFailed;
  }
  net.SetErrorNumber(0);
  net.SetErrorText("");
  auto send = [&](uint8_t command, const void* arg, size_t size) {
    net.Clear();
    if (net.WriteCommand(command, arg, size) == NetResult::kOk) return true;
    net.Close();
    net.SetClientError(CR_SERVER_GONE_ERROR);
    return false;
  };
  auto malformed = [&] {
    net.Close();
    net.SetClientError(CR_MALFORMED_PACKET);
    return ClientResult::kFailed;
  };
  if (!send(kComStmtPrepare, statement.data(), statement.size())) return ClientResult::kFailed;
  int len = net.SafeRead();
  if (len < 0) return ClientResult::kFailed;
  PacketReader in(net.ReadPos(), static_cast<size_t>(len));
  uint64_t status = 1, id = 0, columns = 0, params = 0;
  if (!in.Fixed(1, status) || status != 0 || !in.Fixed(4, id) || !in.Fixed(2, columns) ||
      !in.Fixed(2, params))
    return malformed();
  statementId_ = static_cast<uint32_t>(id);
  haveStatement_ = true;
  // The parameters' and columns' definitions; the columns come again with the result.
  for (const uint64_t count : {params, columns}) {
    if (count == 0) continue;
    for (;;) {
      len = net.SafeRead();
      if (len < 0) return ClientResult::kFailed;
      if (IsEndPacket(net.ReadPos(), len)) break;
    }
  }
  if (params != 0) {
    CloseStatement();
    net.SetErrorNumber(CR_UNKNOWN_ERROR);
    net.SetErrorText("The statement has parameters, and no values are given for them.");
    return ClientResult::kFailed;
  }
  uint8_t execute[9] = {};
  PutId(execute, statementId_);
  execute[4] = kCursorTypeNone;  // rows are streamed as the server sends them
  execute[5] = 1;                // one iteration
  if (!send(kComStmtExecute, execute, sizeof execute)) return ClientResult::kFailed;
  binaryResult_ = true;
  const ClientResult rc = ReadQueryResult();
  if (rc != ClientResult::kOk || Status() != kResultHeader) binaryResult_ = false;
  return rc;
}

std::unique_ptr<TMysqlResult> PreparedQueryClient::NewResult(std::vector<TMysqlField> fields) {
  std::unique_ptr<TMysqlResult> result = TMySQLDirectClient::NewResult(std::move(fields));
  result->SetBinaryRows(binaryResult_);
  binaryResult_ = false;
  return result;
}

}  // namespace mysql
