// Checked decoding of server packets: every read is tested against the bytes that
// remain, so a lying length can neither run past the packet nor size an allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mysql {

class PacketReader {
 public:
  PacketReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

  size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
  const uint8_t* Position() const { return p_; }

  bool Skip(size_t n) {
    if (n > Remaining()) return false;
    p_ += n;
    return true;
  }
  bool Fixed(size_t n, uint64_t& value) {
    if (n > Remaining()) return false;
    value = 0;
    for (size_t i = 0; i < n; ++i) value |= uint64_t{p_[i]} << (8 * i);
    p_ += n;
    return true;
  }
  // A length-coded integer; 251 is NULL.
  bool LengthCoded(uint64_t& value, bool& isNull) {
    isNull = false;
    if (Remaining() < 1) return false;
    uint8_t first = *p_++;
    if (first <= 250) {
      value = first;
      return true;
    }
    switch (first) {
      case 251:
        isNull = true;
        value = 0;
        return true;
      case 252: return Fixed(2, value);
      case 253: return Fixed(3, value);
      case 254: return Fixed(8, value);
      default: return false;
    }
  }
  // A length-coded text whose bytes must lie inside the packet.
  bool LengthCodedText(const uint8_t*& data, size_t& size, bool& isNull) {
    uint64_t len = 0;
    if (!LengthCoded(len, isNull)) return false;
    if (isNull) {
      data = nullptr;
      size = 0;
      return true;
    }
    if (len > Remaining()) return false;
    data = p_;
    size = static_cast<size_t>(len);
    p_ += size;
    return true;
  }
  bool LengthCodedString(std::string& out) {
    const uint8_t* d = nullptr;
    size_t n = 0;
    bool isNull = false;
    if (!LengthCodedText(d, n, isNull)) return false;
    out.assign(reinterpret_cast<const char*>(d), n);
    return true;
  }
  // A zero-terminated text; false when the packet ends before its terminator.
  bool ZeroTerminated(std::string& out) {
    const uint8_t* z = p_;
    while (z < end_ && *z != 0) ++z;
    if (z == end_) return false;
    out.assign(reinterpret_cast<const char*>(p_), static_cast<size_t>(z - p_));
    p_ = z + 1;
    return true;
  }
  // Up to the terminator or the end of the packet, whichever comes first.
  std::string RestAsText() const {
    const uint8_t* z = p_;
    while (z < end_ && *z != 0) ++z;
    return std::string(reinterpret_cast<const char*>(p_), static_cast<size_t>(z - p_));
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

}  // namespace mysql
