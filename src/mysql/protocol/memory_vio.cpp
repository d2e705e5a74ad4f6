#include "mysql/protocol/memory_vio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mysql/protocol/client_errors.h"

namespace mysql {

MemoryVio::MemoryVio(std::string serverBytes, size_t chunk)
    : input_(std::move(serverBytes)), chunk_(chunk == 0 ? 1 : chunk) {}

VioResult MemoryVio::Connect(int kind, const std::string& host, const std::string&, uint32_t,
                             uint32_t timeout, bool) {
  if (Kind() != kClosed) return VioResult::kAlreadyOpen;
  SetTimeout(timeout == 0 ? DefaultTimeout() : timeout);
  if (kind == kRequestSharedMemory) return VioResult::kSharedMemory;
  ++connects_;
  if (refuse_) {
    RecordError(CR_CONN_HOST_ERROR, {host, ECONNREFUSED});
    return VioResult::kRefused;
  }
  SetKind(kind == kRequestPipe ? kPipe : kTcp);
  SetErrorNumber(0);
  SetErrorText("");
  return VioResult::kOk;
}

VioResult MemoryVio::Close() {
  // What the server of this connection would still have sent goes with it.
  if (Kind() != kClosed && !hangups_.empty() && pos_ <= hangups_.front()) {
    pos_ = hangups_.front();
    hangups_.erase(hangups_.begin());
  }
  SetKind(kClosed);
  return VioResult::kOk;
}

int MemoryVio::Receive(void* buffer, size_t size) {
  if (Kind() == kClosed) return -1;
  ++readCalls_;
  if (!interruptions_.empty() && interruptions_.front() == pos_) {
    interruptions_.erase(interruptions_.begin());
    SetLastSystemError(EINTR);
    return -1;
  }
  size_t end = input_.size();
  if (!hangups_.empty()) {
    if (hangups_.front() == pos_) {
      hangups_.erase(hangups_.begin());
      return Empty();
    }
    end = hangups_.front();
  }
  if (!interruptions_.empty()) end = std::min(end, interruptions_.front());
  size_t n = std::min({size, chunk_, end - pos_});
  if (n == 0) return Empty();
  emptyReads_ = 0;
  std::memcpy(buffer, input_.data() + pos_, n);
  pos_ += n;
  return static_cast<int>(n);
}

int MemoryVio::Empty() {
  if (++emptyReads_ > kMaxEmptyReads) {
    SetLastSystemError(EIO);
    return -1;
  }
  return 0;
}

int MemoryVio::Write(const void* buffer, size_t size) {
  if (Kind() == kClosed) return -1;
  if (failWrites_) {
    SetLastSystemError(EPIPE);
    return -1;
  }
  output_.append(static_cast<const char*>(buffer), size);
  return static_cast<int>(size);
}

VioResult MemoryVio::SetBlocking(bool) {
  return Kind() == kClosed ? VioResult::kFailed : VioResult::kOk;
}

bool MemoryVio::WaitReadable(uint32_t) {
  return Kind() != kClosed && pos_ < input_.size();
}

}  // namespace mysql
