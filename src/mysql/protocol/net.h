// TMysqlNet: MySQL protocol packets over a TMysqlVio: framing, sequence numbers, the
// 16 MiB limit, the zlib-compressed format, and the checked read that turns a server
// error packet into the connection's error state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mysql/protocol/vio.h"

namespace mysql {

// Error number of the packet layer for a packet over the size limit (a server number).
constexpr int kErrPacketTooLarge = 1153;
constexpr uint32_t kMaxPayload = 0xFFFFFE;

// What the writes report. Reads give a payload length, or -1.
enum class NetResult : int {
  kOk = 0,
  kClosed = -1,     // the transport is not open
  kFailed = 1,      // not sent: too large, no memory, or a write below failed
  kIncomplete = 2,  // the transport took only part of the bytes
};

class TMysqlNet {
 public:
  // Takes the transport; a plain socket transport when none is given.
  explicit TMysqlNet(std::unique_ptr<TMysqlVio> vio = nullptr);
  ~TMysqlNet();
  TMysqlNet(const TMysqlNet&) = delete;
  TMysqlNet& operator=(const TMysqlNet&) = delete;

  // The transport's result; kOk without doing anything when connected.
  VioResult Connect(int kind, const std::string& host, bool tcpFallback, uint32_t timeout,
                    uint32_t port, const std::string& pipe);
  // The transport's Close result; kOk when it was not open.
  VioResult Close();
  // Sequence 0 and an empty output buffer: called before every command.
  void Clear();
  // kOk, or kFailed (error number 1153 for a payload of 0xFFFFFF bytes or more). Buffered.
  NetResult WritePacket(const void* payload, size_t length);
  // kOk, or kFailed. Sends at once.
  NetResult WriteCommand(uint8_t command, const void* argument, size_t length);
  // kOk, or the real write's failure.
  NetResult Flush();
  // Payload length of the next packet, or -1. The payload is at ReadPos(), followed by
  // a 0 byte, and stays valid until the next read.
  int ReadPacket();
  // As ReadPacket, but a failure (or an empty packet) closes the transport and sets
  // 2013, 2020 or 2027; a server error packet sets the server's number and text and
  // leaves the connection open. -1 in both cases.
  int SafeRead();

  const uint8_t* ReadPos() const { return readBuf_.data() + readPos_; }
  void SetCompress(bool on) { compress_ = on; }
  bool Compress() const { return compress_; }
  bool IsConnected() const { return vio_->Kind() != TMysqlVio::kClosed; }
  uint8_t Kind() const { return vio_->Kind(); }
  uint8_t Sequence() const { return seq_; }
  uint32_t ProtocolVersion() const { return protocolVersion_; }
  void SetProtocolVersion(uint32_t v) { protocolVersion_ = v; }
  size_t BufferSize() const { return readBuf_.size(); }

  int ErrorNumber() const { return vio_->ErrorNumber(); }
  void SetErrorNumber(int n) { vio_->SetErrorNumber(n); }
  const std::string& ErrorText() const { return vio_->ErrorText(); }
  void SetErrorText(const std::string& t) { vio_->SetErrorText(t); }
  // Sets a client error number with its table text.
  void SetClientError(int number);

  TMysqlVio& Vio() { return *vio_; }

 private:
  NetResult BufferedAppend(const uint8_t* bytes, size_t count);
  NetResult RealWrite(const uint8_t* data, size_t length);
  bool ReadFully(uint8_t* dst, size_t count);
  // Reads a header and checks its sequence number, which then advances.
  bool ReadHeader(uint8_t* header, size_t size);
  bool Reserve(size_t needed);
  int ReadPlain();
  bool GrowTo(size_t size);
  // Grows a buffer to at least `size` bytes (in 4096-byte steps); false with error
  // 2008 when memory runs out.
  bool Grow(std::vector<uint8_t>& buffer, size_t size);
  // Reads `count` bytes into `buffer` at `at`, growing it only as the bytes arrive.
  bool ReadGrowing(std::vector<uint8_t>& buffer, size_t at, size_t count);
  void RestoreSavedByte();
  // Makes the packet at `payloadAt` the one last read, with a 0 byte after it.
  int HandOut(size_t payloadAt, size_t len);
  int ReadCompressed();
  // Appends one outer packet's data to the pending bytes; false with the error number set.
  bool ReadCompressedPacket();

  std::unique_ptr<TMysqlVio> vio_;
  bool compress_ = false;
  uint8_t seq_ = 0;
  uint32_t protocolVersion_ = 10;

  // Outgoing bytes wait here until the buffer is full or flushed.
  std::vector<uint8_t> writeBuf_;
  size_t writePos_ = 0;
  std::vector<uint8_t> compressBlock_;

  // Incoming bytes not yet handed out are in [pendingStart_, pendingEnd_): received
  // ones in plain mode, inflated ones in compressed mode.
  std::vector<uint8_t> readBuf_;
  size_t readPos_ = 0;
  size_t pendingStart_ = 0;
  size_t pendingEnd_ = 0;
  size_t savedAt_ = 0;
  uint8_t savedByte_ = 0;
  bool haveSaved_ = false;
  std::vector<uint8_t> inflateSource_;
};

}  // namespace mysql
