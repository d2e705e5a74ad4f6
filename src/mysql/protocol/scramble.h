// Login tokens: the password is never sent, only a token computed from it and the
// server's challenge. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace mysql {

// SHA-1 of the bytes (libcrypto EVP).
std::string Sha1(const std::string& bytes);
// True when the SHA-1 in use gives the published digest of "abc"; checked once.
bool Sha1SelfTestPassed();

// The 20-byte token SHA1(password) XOR SHA1(challenge + SHA1(SHA1(password))).
std::string ScrambleSecure(const std::string& password, const std::string& challenge);

// The old method's two 31-bit hash words; spaces and tabs are skipped.
std::pair<uint32_t, uint32_t> HashPasswordOld(const std::string& text);

// The old method's 8-character token (each character 64 to 95), or nothing when the
// password or the challenge is empty. Without the trailing 0 byte.
std::optional<std::string> ScrambleOld(const std::string& password, const std::string& challenge);

}  // namespace mysql
