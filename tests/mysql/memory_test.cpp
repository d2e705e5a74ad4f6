// Memory that runs out: the layers that must not throw report 2008 and leave the
// session usable or cleanly closed. Allocations are made to fail by this binary's own
// operator new.
#include <gtest/gtest.h>

// This file replaces operator new and delete with malloc and free; the compiler sees
// the pair and takes it for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "mysql/protocol/client.h"
#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/memory_vio.h"
#include "mysql/scripted_peer.h"

namespace {

// Allocations still let through before the next one fails (-1: none fails), and the
// size from which every allocation fails.
std::atomic<long> gAllowed{-1};
std::atomic<size_t> gFailFrom{~size_t{0}};

struct FailNextAllocation {
  FailNextAllocation() { gAllowed = 0; }
  ~FailNextAllocation() { gAllowed = -1; }
};

struct FailAllocationsFrom {
  explicit FailAllocationsFrom(size_t size) { gFailFrom = size; }
  ~FailAllocationsFrom() { gFailFrom = ~size_t{0}; }
};

}  // namespace

void* operator new(std::size_t size) {
  if (size >= gFailFrom.load()) throw std::bad_alloc();
  long allowed = gAllowed.load();
  if (allowed == 0) {
    gAllowed = -1;
    throw std::bad_alloc();
  }
  if (allowed > 0) gAllowed = allowed - 1;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

using mysql::MemoryVio;
using mysql::TMySQLDirectClient;
using qmtest::Packet;

namespace {

struct Session {
  MemoryVio* vio;
  std::unique_ptr<TMySQLDirectClient> client;
};

Session LoggedIn(const std::string& replies, qmtest::GreetingSpec g = {}, bool compress = false) {
  auto vio = std::make_unique<MemoryVio>(qmtest::LoginScript(g) + replies, 1 << 16);
  MemoryVio* raw = vio.get();
  auto c = std::make_unique<TMySQLDirectClient>(std::move(vio));
  c->SetCompress(compress);
  EXPECT_EQ(c->Connect("127.0.0.1", "qm", "pw", "", 3306, "", false, mysql::kDefaultClientFlags),
            mysql::ClientResult::kOk)
      << c->ErrorText();
  return {raw, std::move(c)};
}

std::string OneColumnResult(const std::string& value) {
  return Packet(1, qmtest::LenInt(1)) + Packet(2, qmtest::Column("a")) + Packet(3, qmtest::Eof()) +
         Packet(4, qmtest::Row({value})) + Packet(5, qmtest::Eof());
}

}  // namespace

TEST(MysqlOutOfMemory, ResultThatCannotBeMadeIsDroppedAndTheSessionGoesOn) {
  auto s = LoggedIn(OneColumnResult("1") + Packet(1, qmtest::Ok()));
  ASSERT_EQ(s.client->Query("select a"), mysql::ClientResult::kOk);
  std::unique_ptr<mysql::TMysqlResult> r;
  {
    FailNextAllocation fail;
    r = s.client->UseResult();
  }
  EXPECT_EQ(r, nullptr);
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_OUT_OF_MEMORY);
  EXPECT_EQ(s.client->ErrorText(), "MySQL client run out of memory");
  EXPECT_EQ(s.client->Status(), TMySQLDirectClient::kReady);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk) << s.client->ErrorText();
}

TEST(MysqlOutOfMemory, PacketTooLargeForMemoryClosesTheConnectionWith2008) {
  auto s = LoggedIn(OneColumnResult(std::string(3 << 20, 'x')));
  ASSERT_EQ(s.client->Query("select a"), mysql::ClientResult::kOk);
  std::unique_ptr<mysql::TMysqlResult> r;
  {
    FailAllocationsFrom fail(1 << 20);
    r = s.client->UseResult();
  }
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->FetchRow(), nullptr);
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_OUT_OF_MEMORY);
  EXPECT_FALSE(s.client->IsConnected());
  EXPECT_EQ(s.client->Status(), TMySQLDirectClient::kReady);
}

TEST(MysqlOutOfMemory, CompressedPacketGrowsItsMemoryAsItsBytesArrive) {
  // Outer compressed packets that declare far more than the peer sends before it goes.
  struct Case {
    const char* what;
    size_t length;
    size_t plain;
  };
  const Case cases[] = {
      {"stored", 0xFFFFF0, 0},
      {"deflated", 0x100000, 0xFFFFF0},
  };
  qmtest::GreetingSpec g;
  g.caps |= mysql::kClientCompress;
  for (const auto& c : cases) {
    auto s = LoggedIn("", g, true);
    ASSERT_TRUE(s.client->Net().Compress());
    s.vio->AppendServerBytes(qmtest::Le(c.length, 3) + '\x01' + qmtest::Le(c.plain, 3) +
                             std::string(100, 'x'));
    s.vio->AppendHangup();
    {
      FailAllocationsFrom fail(1 << 20);
      EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed) << c.what;
    }
    EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SERVER_LOST) << c.what;
  }
}
