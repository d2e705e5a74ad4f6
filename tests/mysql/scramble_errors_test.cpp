// Password tokens and the client error table.
#include <gtest/gtest.h>

#include <vector>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/scramble.h"

namespace {

std::string Hex(const std::string& s) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out.push_back(d[c >> 4]);
    out.push_back(d[c & 15]);
  }
  return out;
}

}  // namespace

TEST(MysqlScramble, Sha1KnownDigests) {
  EXPECT_TRUE(mysql::Sha1SelfTestPassed());
  EXPECT_EQ(Hex(mysql::Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  // The server stores "*" + SHA1(SHA1(password)); PASSWORD('abc') on MariaDB.
  EXPECT_EQ(Hex(mysql::Sha1(mysql::Sha1("abc"))), "0d3ced9bec10a777aec23ccc353a8c08a633045e");
}

TEST(MysqlScramble, SecureTokenIsWhatTheServerChecks) {
  // The server recovers SHA1(password) from the token with its stored hash and checks it.
  const std::string challenge = "0123456789abcdefghij";
  for (const std::string& pw :
       std::vector<std::string>{"abc", "a b c", "ünïcødé", std::string(100, 'x')}) {
    std::string token = mysql::ScrambleSecure(pw, challenge);
    ASSERT_EQ(token.size(), 20u);
    std::string stored = mysql::Sha1(mysql::Sha1(pw));
    std::string mix = mysql::Sha1(challenge + stored);
    std::string stage1(20, '\0');
    for (int i = 0; i < 20; ++i) stage1[i] = static_cast<char>(token[i] ^ mix[i]);
    EXPECT_EQ(mysql::Sha1(stage1), stored) << pw;
  }
  EXPECT_NE(mysql::ScrambleSecure("a b", challenge), mysql::ScrambleSecure("ab", challenge));
}

TEST(MysqlScramble, OldPasswordHash) {
  EXPECT_EQ(mysql::HashPasswordOld(""), std::make_pair(1345345333u, 0x12345671u));
  // OLD_PASSWORD('password') on MariaDB.
  EXPECT_EQ(mysql::HashPasswordOld("password"), std::make_pair(0x5d2e1939u, 0x3cc5ef67u));
  EXPECT_EQ(mysql::HashPasswordOld("pass\tw ord"), mysql::HashPasswordOld("password"));
}

TEST(MysqlScramble, OldToken) {
  EXPECT_FALSE(mysql::ScrambleOld("", "abcdefgh"));
  EXPECT_FALSE(mysql::ScrambleOld("pw", ""));
  for (const char* challenge : {"abcdefgh", "\x01\x02\x03\x04\x05\x06\x07\x08", "ZZZZZZZZ"}) {
    auto token = mysql::ScrambleOld("secret", challenge);
    ASSERT_TRUE(token);
    ASSERT_EQ(token->size(), 8u);
    for (unsigned char c : *token) {
      EXPECT_GE(c, 64);
      EXPECT_LE(c, 95);
    }
  }
  EXPECT_NE(*mysql::ScrambleOld("secret", "abcdefgh"), *mysql::ScrambleOld("secreT", "abcdefgh"));
}

TEST(MysqlClientErrors, TableTexts) {
  const std::pair<int, const char*> cases[] = {
      {2000, "Unknown MySQL error"},
      {2006, "MySQL server has gone away"},
      {2008, "MySQL client run out of memory"},
      {2013, "Lost connection to MySQL server during query"},
      {2014, "Commands out of sync;  You can't run this command now"},
      {2020, "Got packet bigger than 'max_allowed_packet'"},
      {2027, "Malformed packet"},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(mysql::FormatClientError(number), text);
  EXPECT_EQ(mysql::FormatClientError(2003, std::string(80, 'h').c_str(), 111),
            "Can't connect to MySQL server on '" + std::string(64, 'h') + "' (111)");
  EXPECT_EQ(mysql::FormatClientError(2007, 11, 10),
            "Protocol mismatch. Server Version = 11 Client Version = 10");
  EXPECT_EQ(mysql::FormatClientError(2017, "host", "pipe", 5u),
            "Can't open named pipe to host: host  pipe: pipe (5)");
  EXPECT_EQ(mysql::ClientErrorTemplate(2021), nullptr);
  EXPECT_EQ(mysql::FormatClientError(2999), "Unknown MySQL error");
}
