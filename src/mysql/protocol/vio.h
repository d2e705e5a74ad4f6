// TMysqlVio: one byte channel to one server (TCP, or the server's Unix-domain socket
// in place of a named pipe), with its time-outs and the connection's error state.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mysql/protocol/client_errors.h"

namespace mysql {

// What Connect, Close and SetBlocking report, with the numbers the transport has always
// used for them.
enum class VioResult : int {
  kOk = 0,
  kFailed = -1,        // Close or SetBlocking failed, or the transport is closed
  kSharedMemory = -2,  // the shared-memory kind, which this client does not open
  kRefused = -6,       // connect refused or failed
  kNotReached = -7,    // the host cannot be resolved, or its greeting did not come in time
  kNoSocket = -8,      // no socket could be created
  kPipeFailed = -9,    // the local socket failed and TCP fall-back is not allowed
  kAlreadyOpen = -20,  // Connect on an open transport: nothing changed
};

class TMysqlVio {
 public:
  enum : uint8_t { kClosed = 0, kTcp = 1, kLocal = 2, kPipe = 3 };
  enum : int { kRequestTcp = 1, kRequestPipe = 3, kRequestSharedMemory = 4 };

  TMysqlVio();
  virtual ~TMysqlVio();
  TMysqlVio(const TMysqlVio&) = delete;
  TMysqlVio& operator=(const TMysqlVio&) = delete;

  // kOk, or why not (see VioResult). The pipe kind uses `pipe` as the socket path when it
  // holds a '/', else $MYSQL_UNIX_PORT, else /run/mysqld/mysqld.sock.
  virtual VioResult Connect(int kind, const std::string& host, const std::string& pipe,
                            uint32_t port, uint32_t timeout, bool tcpFallback);
  // kFailed when shutting down or closing failed. The error state is kept.
  virtual VioResult Close();
  // Bytes read (0: the peer closed), or -1 (also after the time-out). Data or the end
  // of the stream clears the last system error, so an interruption seen earlier is not
  // taken for one again.
  int Read(void* buffer, size_t size);
  // Bytes written, or -1.
  virtual int Write(const void* buffer, size_t size);
  // kFailed when closed or when the mode cannot be set.
  virtual VioResult SetBlocking(bool blocking);
  virtual bool WaitReadable(uint32_t seconds);

  bool ShouldRetry() const;
  bool WasInterrupted() const;
  uint8_t Kind() const { return kind_; }
  bool IsBlocking() const { return (modeFlags_ & 1) == 0; }
  // The socket path the pipe kind opened.
  const std::string& PipePath() const { return pipePath_; }

  void SetErrorText(const std::string& text);
  const std::string& ErrorText() const { return errorText_; }
  int ErrorNumber() const { return errorNumber_; }
  void SetErrorNumber(int number) { errorNumber_ = number; }
  uint32_t Timeout() const { return timeout_; }
  // How long reads wait from now on (the connect set it to the connect time-out).
  void SetReadTimeout(uint32_t seconds) { timeout_ = seconds; }

  // Process-wide default time-out in seconds (30), used when a connect is given 0.
  static uint32_t DefaultTimeout();
  static void SetDefaultTimeout(uint32_t seconds);

 protected:
  struct Address {
    sockaddr_storage storage;
    socklen_t length;
  };
  // The host's addresses with the port, in the resolver's order: 0, or the resolver's
  // error code.
  virtual int Resolve(const std::string& host, uint32_t port, std::vector<Address>& out);

  // Sets the error number and the table text formatted with the values.
  void RecordError(int number, std::initializer_list<ErrorArg> values = {});
  void SetKind(uint8_t kind) { kind_ = kind; }
  void SetTimeout(uint32_t seconds) { timeout_ = seconds; }
  void SetLastSystemError(int err) { lastErrno_ = err; }
  // The transport's own read: as recv, it leaves the last system error alone when it
  // returns data or the end of the stream.
  virtual int Receive(void* buffer, size_t size);

 private:
  VioResult ConnectPipe(const std::string& pipe);
  VioResult ConnectTcp(const std::string& host, uint32_t port);
  VioResult ConnectAddress(const Address& address, const std::string& host);
  int ReceiveInto(char* dst, size_t size);
  bool PollFor(short events, uint32_t seconds);

  int fd_ = -1;
  uint32_t modeFlags_ = 0;
  uint8_t kind_ = kClosed;
  std::string errorText_;
  int errorNumber_ = 0;
  uint32_t timeout_ = 0;
  int lastErrno_ = 0;
  std::string pipePath_;
  // Bytes received ahead of the reader: one system call brings many small packets.
  std::vector<char> recvBuf_;
  size_t recvPos_ = 0;
  size_t recvEnd_ = 0;
};

}  // namespace mysql
