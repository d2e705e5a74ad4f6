#include "mysql/sqltext/sectioned_text.h"

#include <gtest/gtest.h>

namespace {

using namespace mysql;

// Comments, a line before the first section, a key with blanks around "=", mixed case,
// a value holding "=" and a repeated section (its first occurrence counts).
constexpr const char* kParams =
    "host=ignored\r\n"
    "[Client]\r\n"
    "port=3307\r\n"
    ";user=commented\r\n"
    "\r\n"
    "User = alice\r\n"
    "password=a=b;c \r\n"
    "[direct]\n"
    "connect_timeout=x12\n"
    "read_timeout= 42 \n"
    "compress=TRUE\n"
    "pipe\n"
    "[empty]\r"
    "[CLIENT]\r\n"
    "port=9999\r\n"
    "host=second\r\n";

TEST(SectionedText, ReadKey) {
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"client", "port", "3307"},         // section header spelled "[Client]"
      {"client", "PORT", "3307"},
      {"client", "user", " alice"},       // key trimmed, value kept as written
      {"client", ";user", "default"},     // a comment line is not a key
      {"client", "password", "a=b;c "},   // the value runs to the end of the line
      {"client", "host", "second"},       // a repeated header continues the section
      {"direct", "pipe", ""},             // a key without "=" is present with no value
      {"direct", "port", "default"},
      {"missing", "port", "default"},
      {"[client]", "port", "default"},    // the name is given without brackets
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadSectionKey(kParams, c.section, c.key, "default"), c.expected)
        << c.section << "/" << c.key;
}

TEST(SectionedText, ReadIntegerAndBoolean) {
  EXPECT_EQ(ReadSectionInt(kParams, "client", "port", 1), 3307);
  EXPECT_EQ(ReadSectionInt(kParams, "direct", "read_timeout", 1), 42);
  EXPECT_EQ(ReadSectionInt(kParams, "direct", "connect_timeout", 60), 60);  // not a number
  EXPECT_EQ(ReadSectionInt(kParams, "direct", "write_timeout", 300), 300);  // missing
  EXPECT_EQ(ReadSectionInt("[a]\nn=99999999999\n", "a", "n", 7), 7);       // too big
  EXPECT_EQ(ReadSectionInt("[a]\nn=-5\n", "a", "n", 7), -5);

  EXPECT_TRUE(ReadSectionBool(kParams, "direct", "compress", false));
  EXPECT_FALSE(ReadSectionBool(kParams, "direct", "pipe", true));   // present, not "True"
  EXPECT_TRUE(ReadSectionBool(kParams, "direct", "missing", true));
  EXPECT_FALSE(ReadSectionBool(kParams, "direct", "missing", false));
}

TEST(SectionedText, ReadSection) {
  EXPECT_EQ(ReadSection(kParams, "DIRECT", "none"),
            "connect_timeout=x12\r\nread_timeout= 42 \r\ncompress=TRUE\r\npipe");
  EXPECT_EQ(ReadSection(kParams, "empty", "none"), "");
  EXPECT_EQ(ReadSection(kParams, "missing", "none"), "none");
  EXPECT_EQ(ReadSection("", "client", "none"), "none");
}

TEST(SectionedText, WriteKeyRebuildsTheText) {
  struct Case {
    const char* text;
    const char* section;
    const char* key;
    const char* value;
    const char* expected;
  } cases[] = {
      {"", "direct", "protocol", "tcp", "[direct]\r\nprotocol=tcp\r\n"},
      // the key is replaced in place; comments and lines before the first section go
      {"top\n[client]\n; note\nport=1\nhost=h\n\n[direct]\nprotocol=pipe\n", "Client", "PORT",
       "2", "[client]\r\nPORT=2\r\nhost=h\r\n[direct]\r\nprotocol=pipe\r\n"},
      {"[client]\nport=1\n", "direct", "protocol", "pipe",
       "[client]\r\nport=1\r\n[direct]\r\nprotocol=pipe\r\n"},
      {"[direct]\nprotocol=tcp\n", "direct", "autoreconnect", "0",
       "[direct]\r\nprotocol=tcp\r\nautoreconnect=0\r\n"},
  };
  for (const auto& c : cases) {
    std::string written = WriteSectionKey(c.text, c.section, c.key, c.value);
    EXPECT_EQ(written, c.expected) << c.text;
    EXPECT_EQ(ReadSectionKey(written, c.section, c.key, "?"), c.value);
  }
  std::string b = WriteSectionBool("", "MySQL", "Threaded", true);
  EXPECT_EQ(b, "[MySQL]\r\nThreaded=True\r\n");
  EXPECT_TRUE(ReadSectionBool(b, "mysql", "threaded", false));
  EXPECT_EQ(WriteSectionBool(b, "MySQL", "Threaded", false), "[MySQL]\r\nThreaded=False\r\n");
}

TEST(SectionedText, FindKeyValueInPlainLines) {
  const char* options = "connect_timeout=5\r\n;pipe\r\n\r\nProtocol=PIPE\r\nautoreconnect\r\n";
  EXPECT_EQ(FindKeyValue(options, "connect_timeout"), "5");
  EXPECT_EQ(FindKeyValue(options, "protocol"), "PIPE");
  EXPECT_EQ(FindKeyValue(options, "autoreconnect"), "");  // present without a value
  EXPECT_EQ(FindKeyValue(options, "pipe"), std::nullopt);  // only in a comment
  EXPECT_EQ(FindKeyValue("", "pipe"), std::nullopt);
}

}  // namespace
