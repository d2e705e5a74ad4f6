#include "mysql/protocol/net.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "mysql/protocol/client_errors.h"

namespace mysql {

namespace {

constexpr size_t kInitialBuffer = 8192;
constexpr size_t kBufferStep = 4096;
constexpr size_t kBufferLimit = 0x1000000;  // 16 MiB
constexpr size_t kMinCompress = 50;
// What one plain read asks the transport for at least.
constexpr size_t kReadAhead = 64 * 1024;
constexpr size_t kMaxInflateRatio = 1032;

inline uint32_t Get3(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
}
inline void Put3(uint8_t* p, size_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}

// Whether a transport call that brought nothing is made again: at most two retries
// while the transport says so, and a bounded run of interruptions, so that no read or
// write can loop for ever.
class RetryBudget {
 public:
  bool Again(const TMysqlVio& vio) {
    if (vio.ShouldRetry() && ++retries_ <= 2) return true;
    return vio.WasInterrupted() && ++interruptions_ <= kMaxInterruptions;
  }
  bool CountRetry() { return ++retries_ <= 2; }
  // Bytes moved: interruptions count afresh.
  void Progress() { interruptions_ = 0; }

 private:
  static constexpr int kMaxInterruptions = 100;
  int retries_ = 0;
  int interruptions_ = 0;
};

}  // namespace

TMysqlNet::TMysqlNet(std::unique_ptr<TMysqlVio> vio)
    : vio_(vio ? std::move(vio) : std::make_unique<TMysqlVio>()) {}

TMysqlNet::~TMysqlNet() {
  Close();
}

void TMysqlNet::SetClientError(int number) {
  vio_->SetErrorNumber(number);
  vio_->SetErrorText(FormatClientError(number));
}

VioResult TMysqlNet::Connect(int kind, const std::string& host, bool tcpFallback, uint32_t timeout,
                             uint32_t port, const std::string& pipe) {
  if (IsConnected()) return VioResult::kOk;
  const VioResult rc = vio_->Connect(kind, host, pipe, port, timeout, tcpFallback);
  if (rc != VioResult::kOk) return rc;
  readBuf_.assign(kInitialBuffer, 0);
  writeBuf_.resize(kInitialBuffer);
  writePos_ = 0;
  readPos_ = pendingStart_ = pendingEnd_ = 0;
  haveSaved_ = false;
  seq_ = 0;
  compress_ = false;
  protocolVersion_ = 10;
  return VioResult::kOk;
}

VioResult TMysqlNet::Close() {
  const VioResult rc = IsConnected() ? vio_->Close() : VioResult::kOk;
  std::vector<uint8_t>().swap(readBuf_);
  std::vector<uint8_t>().swap(writeBuf_);
  writePos_ = readPos_ = pendingStart_ = pendingEnd_ = 0;
  haveSaved_ = false;
  return rc;
}

void TMysqlNet::Clear() {
  seq_ = 0;
  writePos_ = 0;
}

NetResult TMysqlNet::BufferedAppend(const uint8_t* bytes, size_t count) {
  if (writeBuf_.empty() && !Grow(writeBuf_, kInitialBuffer)) return NetResult::kFailed;
  while (count > writeBuf_.size() - writePos_) {
    size_t room = writeBuf_.size() - writePos_;
    std::memcpy(writeBuf_.data() + writePos_, bytes, room);
    bytes += room;
    count -= room;
    writePos_ = 0;
    if (RealWrite(writeBuf_.data(), writeBuf_.size()) != NetResult::kOk) return NetResult::kFailed;
  }
  if (count) std::memcpy(writeBuf_.data() + writePos_, bytes, count);
  writePos_ += count;
  return NetResult::kOk;
}

NetResult TMysqlNet::WritePacket(const void* payload, size_t length) {
  if (length >= 0xFFFFFF) {
    vio_->SetErrorNumber(kErrPacketTooLarge);
    return NetResult::kFailed;
  }
  uint8_t header[4];
  Put3(header, length);
  header[3] = compress_ ? 0 : seq_++;
  if (BufferedAppend(header, 4) != NetResult::kOk) return NetResult::kFailed;
  return length ? BufferedAppend(static_cast<const uint8_t*>(payload), length) : NetResult::kOk;
}

NetResult TMysqlNet::WriteCommand(uint8_t command, const void* argument, size_t length) {
  if (length >= 0xFFFFFF) {
    vio_->SetErrorNumber(kErrPacketTooLarge);
    return NetResult::kFailed;
  }
  uint8_t head[5];
  Put3(head, length + 1);
  head[3] = compress_ ? 0 : seq_++;
  head[4] = command;
  if (BufferedAppend(head, 5) != NetResult::kOk ||
      (length && BufferedAppend(static_cast<const uint8_t*>(argument), length) != NetResult::kOk) ||
      Flush() != NetResult::kOk) {
    return NetResult::kFailed;
  }
  return NetResult::kOk;
}

NetResult TMysqlNet::Flush() {
  if (writePos_ == 0) return NetResult::kOk;
  size_t n = writePos_;
  writePos_ = 0;
  return RealWrite(writeBuf_.data(), n);
}

NetResult TMysqlNet::RealWrite(const uint8_t* data, size_t length) {
  if (!IsConnected()) return NetResult::kClosed;
  const bool wasBlocking = vio_->IsBlocking();
  const uint8_t* out = data;
  size_t outLen = length;
  if (compress_) {
    // 7-byte header, then the data compressed when that makes it shorter.
    size_t bound = length * 120 / 100 + 12;
    if (!Grow(compressBlock_, 7 + std::max(bound, length))) return NetResult::kFailed;
    uint8_t* block = compressBlock_.data();
    size_t bodyLen = length;
    size_t plainLen = 0;
    bool packed = false;
    if (length >= kMinCompress) {
      uLongf zlen = static_cast<uLongf>(bound);
      if (compress(block + 7, &zlen, data, static_cast<uLong>(length)) == Z_OK && zlen < length) {
        bodyLen = zlen;
        plainLen = length;
        packed = true;
      }
    }
    if (!packed) std::memcpy(block + 7, data, length);
    Put3(block, bodyLen);
    block[3] = seq_++;
    Put3(block + 4, plainLen);
    out = block;
    outLen = bodyLen + 7;
  }
  size_t done = 0;
  RetryBudget budget;
  while (done < outLen) {
    int n = vio_->Write(out + done, outLen - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      budget.Progress();
      continue;
    }
    if (!vio_->IsBlocking()) {
      vio_->SetBlocking(true);
      if (budget.CountRetry()) continue;
    } else if (budget.Again(*vio_)) {
      continue;
    }
    break;
  }
  if (vio_->Kind() != TMysqlVio::kClosed) vio_->SetBlocking(wasBlocking);
  return done == outLen ? NetResult::kOk : NetResult::kIncomplete;
}

bool TMysqlNet::ReadFully(uint8_t* dst, size_t count) {
  RetryBudget budget;
  while (count > 0) {
    int n = vio_->Read(dst, count);
    if (n > 0) {
      dst += n;
      count -= static_cast<size_t>(n);
      budget.Progress();
      continue;
    }
    if (!budget.Again(*vio_)) return false;
  }
  return true;
}

bool TMysqlNet::Reserve(size_t needed) {
  if (needed < readBuf_.size()) return true;
  if (needed + 1 >= kBufferLimit) {
    vio_->SetErrorNumber(kErrPacketTooLarge);
    return false;
  }
  return GrowTo(needed + 1);
}

bool TMysqlNet::ReadHeader(uint8_t* header, size_t size) {
  if (!IsConnected() || !ReadFully(header, size) || header[3] != seq_) return false;
  ++seq_;
  return true;
}

// Plain packets are handed out where they were received: each transport read brings
// as much as there is room for, often many small packets, and none is copied again.
int TMysqlNet::ReadPlain() {
  RestoreSavedByte();
  RetryBudget budget;
  for (;;) {
    size_t avail = pendingEnd_ - pendingStart_;
    size_t need = 4;
    if (avail >= 4) {
      const uint8_t* h = readBuf_.data() + pendingStart_;
      if (h[3] != seq_) return -1;
      size_t len = Get3(h);
      if (len + 1 >= kBufferLimit) {
        vio_->SetErrorNumber(kErrPacketTooLarge);
        return -1;
      }
      if (len <= avail - 4) {
        ++seq_;
        return HandOut(pendingStart_ + 4, len);
      }
      need = len + 4;
    }
    if (pendingStart_ > 0) {
      if (avail) std::memmove(readBuf_.data(), readBuf_.data() + pendingStart_, avail);
      pendingStart_ = 0;
      pendingEnd_ = avail;
    }
    // Room for a read of useful size; for a long packet the buffer doubles as its bytes
    // arrive, so a length the server does not back with data costs no memory.
    size_t target = pendingEnd_ + kReadAhead;
    if (need + 1 > target) target = std::min(need + 1, std::max(target, 2 * readBuf_.size()));
    if (!GrowTo(target)) return -1;
    int n = vio_->Read(readBuf_.data() + pendingEnd_, readBuf_.size() - 1 - pendingEnd_);
    if (n > 0) {
      pendingEnd_ += static_cast<size_t>(n);
      budget.Progress();
      continue;
    }
    if (!budget.Again(*vio_)) return -1;
  }
}

bool TMysqlNet::GrowTo(size_t size) {
  return Grow(readBuf_, size);
}

bool TMysqlNet::Grow(std::vector<uint8_t>& buffer, size_t size) {
  if (size <= buffer.size()) return true;
  try {
    buffer.resize((size + kBufferStep - 1) / kBufferStep * kBufferStep);
  } catch (const std::bad_alloc&) {
    vio_->SetErrorNumber(CR_OUT_OF_MEMORY);
    return false;
  }
  return true;
}

bool TMysqlNet::ReadGrowing(std::vector<uint8_t>& buffer, size_t at, size_t count) {
  RetryBudget budget;
  size_t done = 0;
  while (done < count) {
    // Room for what arrived so far again (at least a read's worth): a length that the
    // peer does not back with data costs no memory.
    size_t want = std::min(count - done, std::max(kReadAhead, done));
    if (!Grow(buffer, at + done + want + 1)) return false;
    int n = vio_->Read(buffer.data() + at + done, want);
    if (n > 0) {
      done += static_cast<size_t>(n);
      budget.Progress();
      continue;
    }
    if (!budget.Again(*vio_)) return false;
  }
  return true;
}

void TMysqlNet::RestoreSavedByte() {
  if (haveSaved_) {
    readBuf_[savedAt_] = savedByte_;
    haveSaved_ = false;
  }
}

int TMysqlNet::HandOut(size_t payloadAt, size_t len) {
  readPos_ = payloadAt;
  pendingStart_ = payloadAt + len;
  // The buffer always keeps a byte past the pending data, so this store stays inside.
  savedAt_ = payloadAt + len;
  savedByte_ = readBuf_[savedAt_];
  haveSaved_ = true;
  readBuf_[savedAt_] = 0;
  return static_cast<int>(len);
}

// One outer packet: its data, inflated when it says so, goes after the pending bytes.
bool TMysqlNet::ReadCompressedPacket() {
  uint8_t header[7];
  if (!ReadHeader(header, sizeof(header))) return false;
  size_t len = Get3(header);
  size_t plain = Get3(header + 4);
  if (pendingEnd_ + std::max(len, plain) + 1 >= kBufferLimit) {
    vio_->SetErrorNumber(kErrPacketTooLarge);
    return false;
  }
  if (plain == 0) {
    if (!ReadGrowing(readBuf_, pendingEnd_, len)) return false;
    pendingEnd_ += len;
    return true;
  }
  // zlib inflates a stream to at most about 1032 times its size: a header that claims
  // more lies, and must not size an allocation.
  if (plain > len * kMaxInflateRatio + 64) {
    vio_->SetErrorNumber(CR_MALFORMED_PACKET);
    return false;
  }
  if (!ReadGrowing(inflateSource_, 0, len) || !Reserve(pendingEnd_ + plain)) return false;
  uLongf outLen = static_cast<uLongf>(plain);
  int rc = uncompress(readBuf_.data() + pendingEnd_, &outLen, inflateSource_.data(),
                      static_cast<uLong>(len));
  if (rc == Z_BUF_ERROR || (rc == Z_OK && outLen != plain)) {
    // The data inflates to another size than the header declares.
    vio_->SetErrorNumber(CR_MALFORMED_PACKET);
    return false;
  }
  if (rc == Z_MEM_ERROR) vio_->SetErrorNumber(CR_OUT_OF_MEMORY);
  if (rc != Z_OK) return false;
  pendingEnd_ += plain;
  return true;
}

int TMysqlNet::ReadCompressed() {
  RestoreSavedByte();
  for (;;) {
    size_t avail = pendingEnd_ - pendingStart_;
    if (avail >= 4) {
      size_t len = Get3(readBuf_.data() + pendingStart_);
      if (len <= avail - 4) return HandOut(pendingStart_ + 4, len);
    }
    if (pendingStart_ > 0) {
      if (avail) std::memmove(readBuf_.data(), readBuf_.data() + pendingStart_, avail);
      pendingStart_ = 0;
      pendingEnd_ = avail;
    }
    if (!ReadCompressedPacket()) return -1;
  }
}

int TMysqlNet::ReadPacket() {
  if (!IsConnected()) return -1;
  return compress_ ? ReadCompressed() : ReadPlain();
}

int TMysqlNet::SafeRead() {
  vio_->SetErrorNumber(0);
  int len = ReadPacket();
  if (len <= 0) {
    int number = vio_->ErrorNumber();
    vio_->Close();
    SetClientError(number == kErrPacketTooLarge    ? CR_NET_PACKET_TOO_LARGE
                   : number == CR_MALFORMED_PACKET ? CR_MALFORMED_PACKET
                   : number == CR_OUT_OF_MEMORY    ? CR_OUT_OF_MEMORY
                                                   : CR_SERVER_LOST);
    return -1;
  }
  const uint8_t* p = ReadPos();
  if (p[0] != 0xFF) return len;
  if (len <= 3) {
    SetClientError(CR_UNKNOWN_ERROR);
    return -1;
  }
  size_t textAt = 1;
  if (protocolVersion_ >= 10) {
    vio_->SetErrorNumber(p[1] | (p[2] << 8));
    textAt = 3;
  } else {
    vio_->SetErrorNumber(CR_UNKNOWN_ERROR);
  }
  size_t textLen = std::min<size_t>(static_cast<size_t>(len) - textAt, 199);
  vio_->SetErrorText(std::string(reinterpret_cast<const char*>(p + textAt), textLen));
  return -1;
}

}  // namespace mysql
