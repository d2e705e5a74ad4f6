#include "mysql/protocol/scramble.h"

#include <openssl/evp.h>

#include <cmath>

namespace mysql {

std::string Sha1(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_sha1(), nullptr) != 1) return {};
  return std::string(reinterpret_cast<const char*>(digest), len);
}

bool Sha1SelfTestPassed() {
  static const bool passed = [] {
    static const unsigned char kAbc[20] = {0xA9, 0x99, 0x3E, 0x36, 0x47, 0x06, 0x81,
                                           0x6A, 0xBA, 0x3E, 0x25, 0x71, 0x78, 0x50,
                                           0xC2, 0x6C, 0x9C, 0xD0, 0xD8, 0x9D};
    return Sha1("abc") == std::string(reinterpret_cast<const char*>(kAbc), 20);
  }();
  return passed;
}

std::string ScrambleSecure(const std::string& password, const std::string& challenge) {
  std::string stage1 = Sha1(password);
  std::string stage2 = Sha1(stage1);
  std::string mix = Sha1(challenge.substr(0, 20) + stage2);
  std::string token(20, '\0');
  for (size_t i = 0; i < 20 && i < mix.size() && i < stage1.size(); ++i) {
    token[i] = static_cast<char>(mix[i] ^ stage1[i]);
  }
  return token;
}

std::pair<uint32_t, uint32_t> HashPasswordOld(const std::string& text) {
  uint64_t nr = 1345345333u, add = 7, nr2 = 0x12345671u;
  for (unsigned char c : text) {
    if (c == ' ' || c == '\t') continue;
    nr ^= (((nr & 63) + add) * c) + (nr << 8);
    nr &= 0xFFFFFFFFu;
    nr2 += (nr2 << 8) ^ nr;
    nr2 &= 0xFFFFFFFFu;
    add += c;
  }
  return {static_cast<uint32_t>(nr & 0x7FFFFFFFu), static_cast<uint32_t>(nr2 & 0x7FFFFFFFu)};
}

std::optional<std::string> ScrambleOld(const std::string& password, const std::string& challenge) {
  if (password.empty() || challenge.empty()) return std::nullopt;
  constexpr uint64_t kMod = 0x3FFFFFFF;
  auto [p0, p1] = HashPasswordOld(password);
  auto [m0, m1] = HashPasswordOld(challenge);
  uint64_t seed1 = (p0 ^ m0) % kMod;
  uint64_t seed2 = (p1 ^ m1) % kMod;
  auto step = [&] {
    seed1 = (seed1 * 3 + seed2) % kMod;
    seed2 = (seed1 + seed2 + 33) % kMod;
    return static_cast<double>(seed1) / static_cast<double>(kMod);
  };
  std::string token;
  for (size_t i = 0; i < challenge.size(); ++i) {
    token.push_back(static_cast<char>(std::floor(step() * 31) + 64));
  }
  char extra = static_cast<char>(std::floor(step() * 31));
  for (char& c : token) c = static_cast<char>(c ^ extra);
  return token;
}

}  // namespace mysql
