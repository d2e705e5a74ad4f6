// Builders for the bytes a scripted server sends, for tests that need replies no real
// server gives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qmtest {

inline std::string Le(uint64_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

inline std::string Packet(uint8_t seq, const std::string& payload) {
  return Le(payload.size(), 3) + static_cast<char>(seq) + payload;
}

inline std::string LenInt(uint64_t v) {
  if (v < 251) return std::string(1, static_cast<char>(v));
  if (v < 0x10000) return "\xFC" + Le(v, 2);
  if (v < 0x1000000) return "\xFD" + Le(v, 3);
  return "\xFE" + Le(v, 8);
}

inline std::string LenText(const std::string& s) {
  return LenInt(s.size()) + s;
}

struct GreetingSpec {
  uint8_t protocol = 10;
  std::string version = "10.11.19-MariaDB";
  uint32_t threadId = 42;
  std::string scramble1 = "abcdefgh";
  uint16_t caps = 0xA20D;  // long password, long flag, with db, 4.1, transactions, secure
  bool withSecondPart = true;
  std::string scramble2 = "ijklmnopqrst";
};

inline std::string Greeting(const GreetingSpec& g = {}) {
  std::string p;
  p.push_back(static_cast<char>(g.protocol));
  p += g.version + '\0';
  p += Le(g.threadId, 4);
  p += g.scramble1 + '\0';
  if (g.protocol == 9 && !g.withSecondPart) return p;
  p += Le(g.caps, 2);
  p.push_back(45);
  p += Le(2, 2);
  p += std::string(13, '\0');
  if (g.withSecondPart) p += g.scramble2 + '\0';
  return p;
}

inline std::string Ok(uint64_t affected = 0, uint64_t insertId = 0, uint16_t status = 2,
                      uint16_t warnings = 0, const std::string& info = {}) {
  std::string p =
      std::string(1, '\0') + LenInt(affected) + LenInt(insertId) + Le(status, 2) + Le(warnings, 2);
  if (!info.empty()) p += LenText(info);
  return p;
}

inline std::string Eof() {
  return std::string("\xFE\0\0\x02\0", 5);
}

inline std::string Err(uint16_t number, const std::string& text) {
  return "\xFF" + Le(number, 2) + "#HY000" + text;
}

inline std::string Column(const std::string& name, uint8_t type = 253, uint32_t length = 255,
                          uint16_t flags = 0, uint8_t decimals = 0) {
  std::string block = Le(45, 2) + Le(length, 4) + static_cast<char>(type) + Le(flags, 2) +
                      static_cast<char>(decimals) + std::string(2, '\0');
  return LenText("def") + LenText("db") + LenText("t") + LenText("t") + LenText(name) +
         LenText(name) + LenText(block);
}

inline std::string Row(const std::vector<std::optional<std::string>>& values) {
  std::string p;
  for (const auto& v : values) p += v ? LenText(*v) : std::string("\xFB");
  return p;
}

// A server's side of a login with a 4.1 greeting and an OK.
inline std::string LoginScript(const GreetingSpec& g = {}) {
  return Packet(0, Greeting(g)) + Packet(2, Ok());
}

// The payloads of the packets a client wrote (uncompressed format).
inline std::vector<std::string> SplitPackets(const std::string& bytes) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i + 4 <= bytes.size()) {
    size_t len = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                 (static_cast<uint8_t>(bytes[i + 2]) << 16);
    out.push_back(bytes.substr(i + 4, len));
    i += 4 + len;
  }
  return out;
}

}  // namespace qmtest
