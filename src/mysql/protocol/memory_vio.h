// An in-memory transport: the server's bytes come from a script, the client's bytes are
// collected. For the scripted-peer tests and the fuzzer, which need replies no real
// server sends.
#pragma once

#include <string>
#include <vector>

#include "mysql/protocol/vio.h"

namespace mysql {

class MemoryVio : public TMysqlVio {
 public:
  // `serverBytes` is everything the peer will send, in order; each Read hands out at
  // most `chunk` bytes so that split reads are exercised.
  explicit MemoryVio(std::string serverBytes = {}, size_t chunk = 1 << 20);

  VioResult Connect(int kind, const std::string& host, const std::string& pipe, uint32_t port,
                    uint32_t timeout, bool tcpFallback) override;
  VioResult Close() override;
  int Write(const void* buffer, size_t size) override;
  VioResult SetBlocking(bool blocking) override;
  bool WaitReadable(uint32_t seconds) override;

  void AppendServerBytes(const std::string& bytes) { input_ += bytes; }
  // The peer closes the connection here: the read that reaches this point gets 0 and,
  // as from a socket, the last system error stays as it was. What follows is what the
  // server sends on the next connection; a connection the client closes before it
  // reaches this point loses the rest up to here.
  void AppendHangup() { hangups_.push_back(input_.size()); }
  // The read that reaches this point fails once, as a wait interrupted by a signal.
  void AppendInterruption() { interruptions_.push_back(input_.size()); }
  const std::string& Written() const { return output_; }
  void ClearWritten() { output_.clear(); }
  size_t ReadCalls() const { return readCalls_; }
  size_t Remaining() const { return input_.size() - pos_; }
  int Connects() const { return connects_; }
  // Writes fail from now on (a peer that went away).
  void FailWrites(bool fail) { failWrites_ = fail; }
  // Connects fail with 2003 from now on.
  void RefuseConnects(bool refuse) { refuse_ = refuse; }

 protected:
  int Receive(void* buffer, size_t size) override;

 private:
  // The end of the stream, as recv reports it.
  int Empty();
  // Reads that found nothing in a row: past a bound they fail, so that a client that
  // loops on a closed peer shows in a test instead of hanging it.
  static constexpr size_t kMaxEmptyReads = 1000;

  std::string input_;
  size_t pos_ = 0;
  std::vector<size_t> hangups_;
  std::vector<size_t> interruptions_;
  size_t emptyReads_ = 0;
  size_t chunk_;
  std::string output_;
  size_t readCalls_ = 0;
  int connects_ = 0;
  bool failWrites_ = false;
  bool refuse_ = false;
};

}  // namespace mysql
