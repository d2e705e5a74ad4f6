// Prepared statements against a scripted server: the commands sent, binary rows split
// into their values, and binary rows that lie.
#include "mysql/protocol/prepared.h"

#include <gtest/gtest.h>

#include <memory>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/memory_vio.h"
#include "mysql/scripted_peer.h"

using qmtest::Column;
using qmtest::Eof;
using qmtest::Le;
using qmtest::LenInt;
using qmtest::LenText;
using qmtest::Packet;

namespace {

std::string Replies(const std::vector<std::string>& payloads) {
  std::string out;
  uint8_t seq = 1;
  for (const auto& p : payloads) out += Packet(seq++, p);
  return out;
}

// The prepare reply for a statement of `columns` columns and no parameters.
std::string PrepareOk(uint32_t id, const std::vector<std::string>& columns) {
  std::vector<std::string> packets{std::string(1, '\0') + Le(id, 4) + Le(columns.size(), 2) +
                                   Le(0, 2) + std::string(1, '\0') + Le(0, 2)};
  packets.insert(packets.end(), columns.begin(), columns.end());
  packets.push_back(Eof());
  return Replies(packets);
}

// The execute reply: the columns, then the rows (binary row payloads).
std::string Execute(const std::vector<std::string>& columns, const std::vector<std::string>& rows) {
  std::vector<std::string> packets{LenInt(columns.size())};
  packets.insert(packets.end(), columns.begin(), columns.end());
  packets.push_back(Eof());
  packets.insert(packets.end(), rows.begin(), rows.end());
  packets.push_back(Eof());
  return Replies(packets);
}

struct Session {
  mysql::MemoryVio* vio;
  std::unique_ptr<mysql::PreparedQueryClient> client;
};

Session WithReplies(const std::string& replies) {
  auto vio = std::make_unique<mysql::MemoryVio>(qmtest::LoginScript() + replies, 7);
  mysql::MemoryVio* raw = vio.get();
  auto c = std::make_unique<mysql::PreparedQueryClient>(std::move(vio));
  EXPECT_EQ(c->Connect("127.0.0.1", "qm", "pw", "", 3306, "", false, mysql::kDefaultClientFlags),
            mysql::ClientResult::kOk)
      << c->ErrorText();
  raw->ClearWritten();
  return {raw, std::move(c)};
}

const std::vector<std::string> kColumns{Column("n", mysql::kTypeLong), Column("t"),
                                        Column("at", mysql::kTypeDateTime)};

TEST(PreparedQuery, RowsArriveAsTheirBinaryValuesAndTheStatementIsClosedBeforeTheNext) {
  // -5, NULL, 2024-02-29 12:34:56.000007; then 7, "", the zero date (no bytes).
  const std::string row1 = std::string(1, '\0') + std::string(1, 0x08) + Le(static_cast<uint32_t>(-5), 4) +
                           "\x0B" + Le(2024, 2) + "\x02\x1D\x0C\x22\x38" + Le(7, 4);
  const std::string row2 = std::string(2, '\0') + Le(7, 4) + LenText("") + std::string(1, '\0');
  auto s = WithReplies(PrepareOk(9, kColumns) + Execute(kColumns, {row1, row2}) +
                       PrepareOk(10, kColumns) + Execute(kColumns, {}));
  ASSERT_EQ(s.client->RunPrepared("SELECT n, t, at FROM x"), mysql::ClientResult::kOk) << s.client->ErrorText();
  const auto sent = qmtest::SplitPackets(s.vio->Written());
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], "\x16SELECT n, t, at FROM x");
  EXPECT_EQ(sent[1], "\x17" + Le(9, 4) + std::string(1, '\0') + Le(1, 4));

  auto r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  const char* const* row = r->FetchRow();
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(std::string(row[0], r->FetchLengths()[0]), Le(static_cast<uint32_t>(-5), 4));
  EXPECT_EQ(row[1], nullptr);
  mysql::BinaryTemporal t;
  ASSERT_TRUE(mysql::DecodeTemporal(mysql::kTypeDateTime, row[2], r->FetchLengths()[2], t));
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
            std::vector<int>({2024, 2, 29, 12, 34, 56}));
  EXPECT_EQ(t.microsecond, 7u);
  row = r->FetchRow();
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(r->FetchLengths()[1], 0u);
  ASSERT_NE(row[1], nullptr);  // empty text, not NULL
  ASSERT_NE(row[2], nullptr);
  ASSERT_TRUE(mysql::DecodeTemporal(mysql::kTypeDateTime, row[2], r->FetchLengths()[2], t));
  EXPECT_EQ(t.year + t.month + t.day, 0);
  EXPECT_EQ(r->FetchRow(), nullptr);
  EXPECT_EQ(r->LastReadResult(), mysql::RowRead::kEnd);
  r.reset();

  s.vio->ClearWritten();
  ASSERT_EQ(s.client->RunPrepared("SELECT again"), mysql::ClientResult::kOk) << s.client->ErrorText();
  const auto next = qmtest::SplitPackets(s.vio->Written());
  ASSERT_EQ(next.size(), 3u);
  EXPECT_EQ(next[0], "\x19" + Le(9, 4));
  EXPECT_EQ(next[1], "\x16SELECT again");
}

TEST(PreparedQuery, LyingBinaryRowsAreMalformedAndCloseTheConnection) {
  const std::string bits(1, '\0');  // no NULLs among three columns
  const struct Case {
    const char* what;
    std::string row;
  } cases[] = {
      {"a row that does not start with a zero byte", "\x01" + bits + Le(1, 4) + LenText("a") + "\0"},
      {"null bits cut short", std::string(1, '\0')},
      {"a fixed value cut short", std::string(1, '\0') + bits + Le(1, 2)},
      {"a text longer than its packet", std::string(1, '\0') + bits + Le(1, 4) + "\x09" "ab"},
      {"a date longer than its packet", std::string(1, '\0') + bits + Le(1, 4) + LenText("") + "\x0B\x01"},
      {"bytes after the last value", std::string(1, '\0') + bits + Le(1, 4) + LenText("") + std::string(1, '\0') + "x"},
  };
  for (const Case& c : cases) {
    auto s = WithReplies(PrepareOk(1, kColumns) + Execute(kColumns, {c.row}));
    ASSERT_EQ(s.client->RunPrepared("SELECT"), mysql::ClientResult::kOk) << c.what;
    auto r = s.client->UseResult();
    ASSERT_NE(r, nullptr) << c.what;
    EXPECT_EQ(r->FetchRow(), nullptr) << c.what;
    EXPECT_EQ(r->LastReadResult(), mysql::RowRead::kError) << c.what;
    EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_MALFORMED_PACKET) << c.what;
    EXPECT_FALSE(s.client->IsConnected()) << c.what;
  }
}

TEST(PreparedQuery, AStatementThePreparingServerRefusesReportsItsError) {
  auto s = WithReplies(Replies({qmtest::Err(1146, "Table 'db.x' doesn't exist")}));
  EXPECT_NE(s.client->RunPrepared("SELECT * FROM x"), mysql::ClientResult::kOk);
  EXPECT_EQ(s.client->ErrorNumber(), 1146);
  EXPECT_EQ(s.client->ErrorText(), "#HY000Table 'db.x' doesn't exist");
  EXPECT_TRUE(s.client->IsConnected());
}

}  // namespace
