// Query replies against a scripted server: OK packets, column packets, streamed rows,
// local-file requests, and replies that lie.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <memory>

#include "mysql/protocol/client.h"
#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/memory_vio.h"
#include "mysql/scripted_peer.h"

using mysql::MemoryVio;
using mysql::TMySQLDirectClient;
using qmtest::Column;
using qmtest::Eof;
using qmtest::GreetingSpec;
using qmtest::LenInt;
using qmtest::Packet;
using qmtest::Row;

namespace {

struct Session {
  MemoryVio* vio;
  std::unique_ptr<TMySQLDirectClient> client;
};

// A logged-in session whose next reply is `reply`.
Session WithReply(const std::string& reply, GreetingSpec g = {},
                  uint32_t flags = mysql::kDefaultClientFlags) {
  auto vio = std::make_unique<MemoryVio>(qmtest::LoginScript(g) + reply, 11);
  MemoryVio* raw = vio.get();
  auto c = std::make_unique<TMySQLDirectClient>(std::move(vio));
  EXPECT_EQ(c->Connect("127.0.0.1", "qm", "pw", "", 3306, "", false, flags),
            mysql::ClientResult::kOk)
      << c->ErrorText();
  raw->ClearWritten();
  return {raw, std::move(c)};
}

// Packets numbered from 1, as replies to a command.
std::string Replies(const std::vector<std::string>& payloads, uint8_t first = 1) {
  std::string out;
  for (const auto& p : payloads) out += Packet(first++, p);
  return out;
}

}  // namespace

TEST(MysqlQueryReply, OkPacketFields) {
  struct Case {
    const char* what;
    std::string ok;
    uint16_t caps;
    uint64_t affected, insertId;
    uint16_t status;
    std::string info;
  };
  const uint16_t v41 = 0xA20D;
  const uint16_t old = 0x0005;  // neither 4.1 nor transactions
  const Case cases[] = {
      {"plain", qmtest::Ok(3, 7, 0x0002), v41, 3, 7, 0x0002, ""},
      {"info after the warning count",
       qmtest::Ok(5, 0, 0x0022, 1, "Records: 5  Duplicates: 0  Warnings: 1"), v41, 5, 0, 0x0022,
       "Records: 5  Duplicates: 0  Warnings: 1"},
      {"64-bit values",
       std::string(1, '\0') + LenInt(0x123456789ULL) + LenInt(70000) + std::string(4, '\0'), v41,
       0x123456789ULL, 70000, 0, ""},
      {"old server: no status, info right after the ids",
       std::string("\0\x02\x00", 3) + qmtest::LenText("hi"), old, 2, 0, 0x0002, "hi"},
  };
  for (const auto& c : cases) {
    GreetingSpec g;
    g.caps = c.caps;
    g.withSecondPart = (c.caps & 0x8000) != 0;
    auto s = WithReply(Packet(1, c.ok), g, mysql::kDefaultClientFlags & ~0x8000u);
    ASSERT_EQ(s.client->Query("update t set a=1"), mysql::ClientResult::kOk)
        << c.what << ": " << s.client->ErrorText();
    EXPECT_EQ(s.client->AffectedRows(), c.affected) << c.what;
    EXPECT_EQ(s.client->InsertId(), c.insertId) << c.what;
    EXPECT_EQ(s.client->ServerStatusFlags(), c.status) << c.what;
    EXPECT_EQ(s.client->Info(), c.info) << c.what;
    EXPECT_EQ(s.client->Status(), 0) << c.what;
    EXPECT_EQ(s.client->UseResult(), nullptr) << c.what;
  }
}

TEST(MysqlQueryReply, StreamsRowsWithNullEmptyAndZeroBytes) {
  const std::string withZero("a\0b", 3);
  auto s =
      WithReply(Replies({LenInt(3), Column("id", 3, 11), Column("name"), Column("data", 252), Eof(),
                         Row({"1", "x", withZero}), Row({"2", std::nullopt, ""}), Eof()}));
  ASSERT_EQ(s.client->Query("select * from t"), mysql::ClientResult::kOk) << s.client->ErrorText();
  EXPECT_EQ(s.client->Status(), 1);
  EXPECT_EQ(s.client->FieldCount(), 3u);
  auto r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(s.client->Status(), 2);
  EXPECT_EQ(r->NumRows(), 1u) << "one row is read ahead";
  const char* const* row = r->FetchRow();
  ASSERT_NE(row, nullptr);
  EXPECT_STREQ(row[0], "1");
  EXPECT_EQ(std::string(row[2], r->FetchLengths()[2]), withZero);
  EXPECT_EQ(r->FetchLengths()[2], 3u);
  row = r->FetchRow();
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row[1], nullptr);
  EXPECT_EQ(r->FetchLengths()[1], 0u);
  ASSERT_NE(row[2], nullptr) << "empty is a value, NULL is none";
  EXPECT_STREQ(row[2], "");
  EXPECT_EQ(r->FetchLengths()[2], 0u);
  EXPECT_EQ(r->FetchRow(), nullptr);
  EXPECT_EQ(r->LastReadResult(), mysql::RowRead::kEnd);
  EXPECT_EQ(s.client->Status(), 0);
  EXPECT_EQ(s.client->AffectedRows(), 2u);
  EXPECT_EQ(r->NumRows(), 2u);
}

TEST(MysqlQueryReply, ResultWithNoRows) {
  auto s = WithReply(Replies({LenInt(1), Column("a"), Eof(), Eof()}));
  ASSERT_EQ(s.client->Query("select a from t where 0"), mysql::ClientResult::kOk);
  auto r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(s.client->Status(), 0) << "back to ready at once";
  EXPECT_EQ(r->NumRows(), 0u);
  EXPECT_EQ(r->FetchRow(), nullptr);
}

TEST(MysqlQueryReply, DescriptorsFromBothColumnFormats) {
  struct Case {
    uint8_t type;
    uint32_t length;
    uint16_t flags;
    uint32_t expectedFlags;
  };
  const Case cases[] = {
      {3, 11, 0, 0x8000},      // long: numeric
      {7, 14, 0, 0x8000},      // timestamp(14) counts as numeric
      {7, 19, 0, 0},           // timestamp(19) does not
      {13, 4, 0, 0x8000},      // year
      {252, 65535, 0, 0x10},   // blob gets the blob flag
      {249, 255, 0x10, 0x10},  // already flagged
      {253, 255, 0x1, 0x1},    // varchar keeps the server's flags
      {246, 10, 0, 0x8000},    // new decimal: numeric, as the client library flags it
  };
  std::vector<std::string> packets = {LenInt(std::size(cases))};
  for (const auto& c : cases) packets.push_back(Column("c", c.type, c.length, c.flags, 2));
  packets.push_back(Eof());
  packets.push_back(Eof());
  auto s = WithReply(Replies(packets));
  ASSERT_EQ(s.client->Query("select"), mysql::ClientResult::kOk) << s.client->ErrorText();
  auto r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  auto* direct = static_cast<mysql::TMySQLDirectResult*>(r.get());
  for (const auto& c : cases) {
    const mysql::TMysqlField* f = direct->FetchField();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->type, c.type);
    EXPECT_EQ(f->length, c.length);
    EXPECT_EQ(f->flags, c.expectedFlags) << int{c.type};
    EXPECT_EQ(f->decimals, 2u);
    EXPECT_EQ(f->charsetnr, 45u);
    EXPECT_EQ(f->db, "db");
    EXPECT_EQ(f->org_table, "t");
    EXPECT_EQ(f->max_length, 0u);
  }
  EXPECT_EQ(direct->FetchField(), nullptr);

  // The old format: table, name, 3-byte length, type, 2 bytes of flags and decimals.
  GreetingSpec g;
  g.caps = 0x0001;
  g.withSecondPart = false;
  std::string oldColumn = qmtest::LenText("tb") + qmtest::LenText("nm") +
                          qmtest::LenText(qmtest::Le(20, 3)) + qmtest::LenText("\x03") +
                          qmtest::LenText(std::string("\x01\x00", 2));
  auto o = WithReply(Replies({LenInt(1), oldColumn, Eof(), Eof()}), g,
                     mysql::kDefaultClientFlags & ~0x8000u);
  ASSERT_EQ(o.client->Query("select"), mysql::ClientResult::kOk) << o.client->ErrorText();
  auto ro = o.client->UseResult();
  ASSERT_NE(ro, nullptr);
  EXPECT_EQ(ro->Field(0).name, "nm");
  EXPECT_EQ(ro->Field(0).table, "tb");
  EXPECT_EQ(ro->Field(0).length, 20u);
  EXPECT_EQ(ro->Field(0).flags, 0x8001u);
}

TEST(MysqlQueryReply, LyingRepliesAreMalformedAndCloseTheConnection) {
  struct Case {
    const char* what;
    std::vector<std::string> packets;
  };
  const Case cases[] = {
      {"fewer column packets than columns", {LenInt(2), Column("a"), Eof()}},
      {"more column packets than columns", {LenInt(1), Column("a"), Column("b"), Eof()}},
      {"column count that cannot fit in a packet", {LenInt(0x1000000)}},
      {"column count cut short", {std::string("\xFC\x01", 2)}},
      {"column text longer than its packet",
       {LenInt(1),
        "\x03"
        "def\x40"
        "db"}},
      {"column block too short",
       {LenInt(1), qmtest::LenText("def") + std::string(5, '\0') + qmtest::LenText("short")}},
      {"row with fewer values than columns",
       {LenInt(2), Column("a"), Column("b"), Eof(), Row({"1"})}},
      {"row with more values than columns", {LenInt(1), Column("a"), Eof(), Row({"1", "2"})}},
      {"row value longer than its packet",
       {LenInt(1), Column("a"), Eof(),
        "\xFC\xFF\xFF"
        "abc"}},
      {"row value with a 64-bit length",
       {LenInt(1), Column("a"), Eof(), "\xFE" + qmtest::Le(~0ULL, 8)}},
      {"OK packet with affected rows cut", {std::string("\0\xFD\x01", 3)}},
      {"OK packet with info longer than the packet",
       {std::string("\0\0\0\2\0\0\0", 7) + "\x30"
                                           "short"}},
  };
  for (const auto& c : cases) {
    auto s = WithReply(Replies(c.packets));
    if (s.client->Query("select") == mysql::ClientResult::kOk) {
      auto r = s.client->UseResult();
      ASSERT_NE(r, nullptr) << c.what;
      EXPECT_EQ(r->FetchRow(), nullptr) << c.what;
      EXPECT_EQ(r->LastReadResult(), mysql::RowRead::kError) << c.what;
    }
    EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_MALFORMED_PACKET) << c.what;
    EXPECT_EQ(s.client->ErrorText(), "Malformed packet") << c.what;
    EXPECT_FALSE(s.client->IsConnected()) << c.what;
  }
}

TEST(MysqlQueryReply, FreeResultDrainsTheRest) {
  std::vector<std::string> packets = {LenInt(1), Column("a"), Eof()};
  for (int i = 0; i < 50; ++i) packets.push_back(Row({std::to_string(i)}));
  packets.push_back(Eof());
  auto s = WithReply(Replies(packets) + Packet(1, qmtest::Ok()));
  ASSERT_EQ(s.client->Query("select"), mysql::ClientResult::kOk);
  auto r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->FetchRow(), nullptr);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed) << "a command while rows are pending";
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_COMMANDS_OUT_OF_SYNC);
  EXPECT_EQ(s.client->ErrorText(), "Commands out of sync;  You can't run this command now");
  EXPECT_EQ(s.vio->Written(), Packet(0, "\x03select")) << "the ping was not sent";
  EXPECT_EQ(s.client->Query("select 2"), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_COMMANDS_OUT_OF_SYNC);
  mysql::FreeResult(r);
  EXPECT_EQ(s.client->Status(), 0);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk) << s.client->ErrorText();
}

TEST(MysqlQueryReply, ResultOutlivesClosedSession) {
  auto s = WithReply(Replies({LenInt(1), Column("a"), Eof(), Row({"1"}), Row({"2"}), Eof()}));
  ASSERT_EQ(s.client->Query("select"), mysql::ClientResult::kOk);
  auto r = s.client->UseResult();
  s.client->Close();
  EXPECT_FALSE(r->Attached());
  EXPECT_EQ(r->FetchRow(), nullptr) << "a detached result reports the end";
  s.client.reset();
  r.reset();
}

TEST(MysqlQueryReply, UseResultOutOfOrder) {
  auto s = WithReply(Replies({LenInt(1), Column("a"), Eof(), Eof()}));
  EXPECT_EQ(s.client->UseResult(), nullptr) << "no result pending is no error";
  EXPECT_EQ(s.client->ErrorNumber(), 0);
}

// A CALL answers with its result sets, each ended by a packet whose status says whether
// another follows, then the procedure's own OK; an error packet ends the chain.
TEST(MysqlQueryReply, MoreResultsAreReadInTurn) {
  const std::string more("\xFE\0\0\x0A\0", 5);  // autocommit + more results
  const uint32_t flags = mysql::kDefaultClientFlags | mysql::kClientMultiResults;
  auto s = WithReply(Replies({LenInt(1), Column("a"), Eof(), Row({"1"}), Row({"2"}), more,
                              LenInt(1), Column("b"), Eof(), Row({"x"}), Row({"y"}), more,
                              qmtest::Ok(0, 0, 0x0002)}) +
                         Packet(1, qmtest::Ok()),
                     {}, flags);
  ASSERT_EQ(s.client->Query("call p()"), mysql::ClientResult::kOk);
  EXPECT_FALSE(s.client->MoreResults()) << "not before the rows are read";
  auto r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->FetchRow(), nullptr);
  ASSERT_NE(r->FetchRow(), nullptr);
  EXPECT_EQ(r->FetchRow(), nullptr);
  EXPECT_EQ(r->LastReadResult(), mysql::RowRead::kEnd);
  ASSERT_TRUE(s.client->MoreResults());
  EXPECT_EQ(s.client->Query("select 2"), mysql::ClientResult::kFailed) << "results still come";
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_COMMANDS_OUT_OF_SYNC);

  ASSERT_EQ(s.client->NextResult(), mysql::ClientResult::kOk) << s.client->ErrorText();
  r = s.client->UseResult();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Field(0).name, "b");
  ASSERT_NE(r->FetchRow(), nullptr);
  mysql::FreeResult(r);  // the rest is drained; its end still tells of the OK after it
  ASSERT_TRUE(s.client->MoreResults());
  ASSERT_EQ(s.client->NextResult(), mysql::ClientResult::kOk) << s.client->ErrorText();
  EXPECT_EQ(s.client->FieldCount(), 0u);
  EXPECT_FALSE(s.client->MoreResults());
  EXPECT_EQ(s.client->NextResult(), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_COMMANDS_OUT_OF_SYNC);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk) << s.client->ErrorText();

  auto failing = WithReply(
      Replies({LenInt(1), Column("a"), Eof(), Row({"1"}), more, qmtest::Err(1054, "no col")}),
      {}, flags);
  ASSERT_EQ(failing.client->Query("select 1; select c"), mysql::ClientResult::kOk);
  r = failing.client->UseResult();
  while (r->FetchRow()) {
  }
  ASSERT_TRUE(failing.client->MoreResults());
  EXPECT_EQ(failing.client->NextResult(), mysql::ClientResult::kFailed);
  EXPECT_EQ(failing.client->ErrorNumber(), 1054);
  EXPECT_FALSE(failing.client->MoreResults()) << "the error ends the chain";
}

TEST(MysqlLocalInfile, StatementNamesTheFile) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"LOAD DATA LOCAL INFILE '/tmp/a.csv' INTO TABLE t", "/tmp/a.csv"},
      {"  load data low_priority local infile \"x y\" into table t", "x y"},
      {"/* c */ LOAD DATA CONCURRENT LOCAL INFILE 'it''s' INTO TABLE t", "it's"},
      {"LOAD DATA LOCAL INFILE 'a\\\\b' INTO TABLE t", "a\\b"},
      {"LOAD DATA INFILE '/etc/passwd' INTO TABLE t", std::nullopt},
      {"SELECT 'LOAD DATA LOCAL INFILE'", std::nullopt},
      {"LOAD DATA LOCAL INFILE 'unterminated", std::nullopt},
      {"LOAD XML LOCAL INFILE 'a' INTO TABLE t", std::nullopt},
  };
  // Under tr_TR the C library upper-cases 'i' to no ASCII letter; the words must read the
  // same there.
  for (const char* locale : {"C", "tr_TR.UTF-8"}) {
    ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr)
        << "locale " << locale << " is missing; scripts/install-deps generates it";
    for (const auto& [statement, name] : cases) {
      EXPECT_EQ(mysql::LocalInfileName(statement), name) << locale << ": " << statement;
    }
  }
  std::setlocale(LC_ALL, "C");
}

TEST(MysqlLocalInfile, RogueRequestsAreRefusedAndSessionGoesOn) {
  char path[] = "/tmp/qm-infile-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::ofstream(path) << "1\n2\n";
  struct Case {
    const char* what;
    std::string statement;
    std::string requested;
    uint32_t flags;
    bool sent;
  };
  const std::string load = std::string("LOAD DATA LOCAL INFILE '") + path + "' INTO TABLE t";
  const Case cases[] = {
      {"statement is no LOAD DATA", "SELECT 1", "/etc/passwd", mysql::kDefaultClientFlags, false},
      {"another file than the statement names", load, "/etc/passwd", mysql::kDefaultClientFlags,
       false},
      {"local files not allowed", load, path, mysql::kDefaultClientFlags & ~0x80u, false},
      {"the named file", load, path, mysql::kDefaultClientFlags, true},
  };
  for (const auto& c : cases) {
    auto vio = std::make_unique<MemoryVio>(qmtest::LoginScript() + Packet(1, "\xFB" + c.requested) +
                                               Packet(c.sent ? 4 : 3, qmtest::Ok(2)) +
                                               Packet(1, qmtest::Ok()),
                                           11);
    MemoryVio* raw = vio.get();
    TMySQLDirectClient client(std::move(vio));
    ASSERT_EQ(client.Connect("127.0.0.1", "qm", "pw", "", 3306, "", false, c.flags),
              mysql::ClientResult::kOk);
    raw->ClearWritten();
    const mysql::ClientResult rc = client.Query(c.statement);
    auto sent = qmtest::SplitPackets(raw->Written());
    if (c.sent) {
      EXPECT_EQ(rc, mysql::ClientResult::kOk) << c.what << ": " << client.ErrorText();
      ASSERT_EQ(sent.size(), 3u) << c.what;
      EXPECT_EQ(sent[1], "1\n2\n") << c.what;
      EXPECT_EQ(client.AffectedRows(), 2u);
    } else {
      EXPECT_EQ(rc, mysql::ClientResult::kFailed) << c.what;
      EXPECT_EQ(client.ErrorNumber(), mysql::CR_LOCAL_INFILE_REFUSED) << c.what;
      EXPECT_NE(client.ErrorText().find("LOAD DATA LOCAL INFILE request refused: "),
                std::string::npos);
      EXPECT_NE(client.ErrorText().find(c.requested), std::string::npos) << client.ErrorText();
      ASSERT_EQ(sent.size(), 2u) << c.what;
      EXPECT_EQ(sent[1], "") << c.what << ": only the empty packet goes out";
    }
    EXPECT_EQ(client.Ping(), mysql::ClientResult::kOk) << c.what << ": the session is in step";
  }
  std::remove(path);
}

TEST(MysqlLocalInfile, MissingFileIsReportedAfterTheServerAnswers) {
  const std::string name = "/nonexistent/qm-file.csv";
  auto s = WithReply(Packet(1, "\xFB" + name) + Packet(3, qmtest::Ok()) + Packet(1, qmtest::Ok()));
  EXPECT_EQ(s.client->Query("LOAD DATA LOCAL INFILE '" + name + "' INTO TABLE t"),
            mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->ErrorText(), "File '" + name + "' not found (Errcode: 2)");
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk);
}

TEST(MysqlLocalInfile, ServerReplyToARefusalIsChecked) {
  struct Case {
    const char* what;
    std::string reply;
    int number;
    bool inStep;
  };
  const Case cases[] = {
      {"OK", Packet(3, qmtest::Ok()), mysql::CR_LOCAL_INFILE_REFUSED, true},
      {"server error", Packet(3, qmtest::Err(1148, "The used command is not allowed")),
       mysql::CR_LOCAL_INFILE_REFUSED, true},
      {"result header", Packet(3, LenInt(1)), mysql::CR_MALFORMED_PACKET, false},
      {"another file request", Packet(3, "\xFB/etc/shadow"), mysql::CR_MALFORMED_PACKET, false},
  };
  for (const auto& c : cases) {
    auto s = WithReply(Packet(1, "\xFB/etc/passwd") + c.reply + Packet(1, qmtest::Ok()));
    EXPECT_EQ(s.client->Query("SELECT 1"), mysql::ClientResult::kFailed) << c.what;
    EXPECT_EQ(s.client->ErrorNumber(), c.number) << c.what << ": " << s.client->ErrorText();
    EXPECT_EQ(s.client->IsConnected(), c.inStep) << c.what;
    if (c.inStep) {
      EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk) << c.what;
    }
  }
}
