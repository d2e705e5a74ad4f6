// The packet layer over an in-memory transport: framing, sequence numbers, the size
// limit, the compressed format, and error packets.
#include "mysql/protocol/net.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/memory_vio.h"
#include "mysql/scripted_peer.h"

using mysql::MemoryVio;
using mysql::TMysqlNet;
using qmtest::Le;
using qmtest::Packet;

namespace {

struct NetPeer {
  MemoryVio* vio;
  std::unique_ptr<TMysqlNet> net;
};

NetPeer Open(const std::string& serverBytes, size_t chunk = 1 << 20) {
  auto vio = std::make_unique<MemoryVio>(serverBytes, chunk);
  MemoryVio* raw = vio.get();
  auto net = std::make_unique<TMysqlNet>(std::move(vio));
  EXPECT_EQ(net->Connect(1, "127.0.0.1", false, 5, 3306, ""), mysql::VioResult::kOk);
  return {raw, std::move(net)};
}

// An outer compressed packet holding `data`, compressed when `deflate` is set.
std::string Compressed(uint8_t seq, const std::string& data, bool deflate,
                       int64_t declaredPlain = -1) {
  std::string body = data;
  size_t plain = 0;
  if (deflate) {
    uLongf n = compressBound(data.size());
    body.resize(n);
    compress(reinterpret_cast<Bytef*>(body.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
             data.size());
    body.resize(n);
    plain = data.size();
  }
  if (declaredPlain >= 0) plain = static_cast<size_t>(declaredPlain);
  return Le(body.size(), 3) + static_cast<char>(seq) + Le(plain, 3) + body;
}

std::string PayloadOf(const TMysqlNet& net, int len) {
  return std::string(reinterpret_cast<const char*>(net.ReadPos()), static_cast<size_t>(len));
}

}  // namespace

TEST(MysqlPacketLayer, FramesPacketsWithRunningSequenceNumbers) {
  auto p = Open("");
  p.net->Clear();
  ASSERT_EQ(p.net->WritePacket("abc", 3), mysql::NetResult::kOk);
  ASSERT_EQ(p.net->WritePacket("", 0), mysql::NetResult::kOk);
  EXPECT_EQ(p.vio->Written(), "") << "packets wait in the buffer until flushed";
  ASSERT_EQ(p.net->Flush(), mysql::NetResult::kOk);
  EXPECT_EQ(p.vio->Written(), std::string("\x03\0\0\0abc\0\0\0\x01", 11));
  p.vio->ClearWritten();
  p.net->Clear();
  ASSERT_EQ(p.net->WriteCommand(3, "select 1", 8), mysql::NetResult::kOk);
  EXPECT_EQ(p.vio->Written(), std::string("\x09\0\0\0\x03select 1", 13));
}

TEST(MysqlPacketLayer, ReadsPacketsWithZeroAfterPayloadAcrossSplitReads) {
  auto p = Open(Packet(0, "hello") + Packet(1, std::string(10000, 'x')), 3);
  ASSERT_EQ(p.net->ReadPacket(), 5);
  EXPECT_EQ(PayloadOf(*p.net, 5), "hello");
  EXPECT_EQ(p.net->ReadPos()[5], 0);
  ASSERT_EQ(p.net->ReadPacket(), 10000);
  EXPECT_EQ(p.net->ReadPos()[10000], 0);
  EXPECT_GE(p.net->BufferSize(), 10001u);
  EXPECT_EQ(p.net->BufferSize() % 4096, 0u);
}

TEST(MysqlPacketLayer, SequenceCounterWrapsAfter256Packets) {
  std::string script;
  for (int i = 0; i < 256; ++i) script += Packet(static_cast<uint8_t>(i), "x");
  script += Packet(0, "again");
  auto p = Open(script);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(p.net->ReadPacket(), 1) << i;
  EXPECT_EQ(p.net->Sequence(), 0);
  EXPECT_EQ(p.net->ReadPacket(), 5);
}

TEST(MysqlPacketLayer, SafeReadFailuresCloseTheTransport) {
  struct Case {
    const char* what;
    std::string script;
    int number;
  };
  const Case cases[] = {
      {"wrong sequence number", Packet(1, "x"), mysql::CR_SERVER_LOST},
      {"zero-length packet", Packet(0, ""), mysql::CR_SERVER_LOST},
      {"peer closes mid-header", std::string("\x05\0", 2), mysql::CR_SERVER_LOST},
      {"peer closes mid-payload", std::string("\x05\0\0\0ab", 6), mysql::CR_SERVER_LOST},
      {"packet of 0xFFFFFF bytes", std::string("\xFF\xFF\xFF\0", 4),
       mysql::CR_NET_PACKET_TOO_LARGE},
  };
  for (const auto& c : cases) {
    auto p = Open(c.script);
    EXPECT_EQ(p.net->SafeRead(), -1) << c.what;
    EXPECT_EQ(p.net->ErrorNumber(), c.number) << c.what;
    EXPECT_EQ(p.net->ErrorText(), mysql::FormatClientError(c.number)) << c.what;
    EXPECT_FALSE(p.net->IsConnected()) << c.what;
  }
}

TEST(MysqlPacketLayer, LengthWithoutDataCostsNoMemory) {
  // A header claiming 10 MB, followed by a few bytes and the end of the connection.
  auto p = Open(Le(10000000, 3) + '\0' + "only a few bytes");
  EXPECT_EQ(p.net->SafeRead(), -1);
  EXPECT_EQ(p.net->ErrorNumber(), mysql::CR_SERVER_LOST);
  EXPECT_LT(p.net->BufferSize(), 1u << 20);
}

TEST(MysqlPacketLayer, ErrorPacketsKeepTheConnection) {
  struct Case {
    std::string payload;
    uint32_t protocol;
    int number;
    std::string text;
  };
  const Case cases[] = {
      {"\xFF\x7A\x04#42S02Table 'a.b' doesn't exist", 10, 1146, "#42S02Table 'a.b' doesn't exist"},
      {"\xFF\x7A\x04", 10, 2000, "Unknown MySQL error"},
      {"\xFF\x7A", 10, 2000, "Unknown MySQL error"},
      {"\xFFold message", 9, 2000, "old message"},
      {std::string("\xFF\x01\x00", 3) + std::string(300, 'm'), 10, 1, std::string(199, 'm')},
  };
  for (const auto& c : cases) {
    auto p = Open(Packet(0, c.payload));
    p.net->SetProtocolVersion(c.protocol);
    EXPECT_EQ(p.net->SafeRead(), -1);
    EXPECT_EQ(p.net->ErrorNumber(), c.number) << c.text;
    EXPECT_EQ(p.net->ErrorText(), c.text);
    EXPECT_TRUE(p.net->IsConnected());
  }
}

TEST(MysqlPacketLayer, PayloadSizeLimitOnSending) {
  auto p = Open("");
  std::string big(0xFFFFFF, 'a');
  EXPECT_EQ(p.net->WritePacket(big.data(), 0xFFFFFE), mysql::NetResult::kOk);
  EXPECT_EQ(p.net->Flush(), mysql::NetResult::kOk);
  EXPECT_EQ(p.vio->Written().size(), 0xFFFFFEu + 4);
  p.vio->ClearWritten();
  EXPECT_EQ(p.net->WritePacket(big.data(), 0xFFFFFF), mysql::NetResult::kFailed);
  EXPECT_EQ(p.net->ErrorNumber(), mysql::kErrPacketTooLarge);
  EXPECT_EQ(p.net->WriteCommand(3, big.data(), 0xFFFFFF), mysql::NetResult::kFailed);
  EXPECT_EQ(p.net->Flush(), mysql::NetResult::kOk);
  EXPECT_EQ(p.vio->Written(), "") << "nothing of a refused packet is sent";
}

TEST(MysqlPacketLayer, CompressedWritesPackOnlyWhatShrinks) {
  struct Case {
    const char* what;
    std::string payload;
    bool packed;
  };
  std::string noise;
  uint32_t x = 12345;
  for (int i = 0; i < 400; ++i) {
    x = x * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(x >> 24));
  }
  // The threshold is on the block sent: the 4-byte header plus the payload.
  const Case cases[] = {
      {"block of 49 bytes", std::string(45, 'a'), false},
      {"block of 50 bytes", std::string(46, 'a'), true},
      {"incompressible", noise, false},
  };
  for (const auto& c : cases) {
    auto p = Open("");
    p.net->SetCompress(true);
    p.net->Clear();
    ASSERT_EQ(p.net->WritePacket(c.payload.data(), c.payload.size()), mysql::NetResult::kOk);
    ASSERT_EQ(p.net->Flush(), mysql::NetResult::kOk);
    const std::string& w = p.vio->Written();
    ASSERT_GE(w.size(), 7u) << c.what;
    size_t bodyLen = static_cast<uint8_t>(w[0]) | (static_cast<uint8_t>(w[1]) << 8);
    size_t plainLen = static_cast<uint8_t>(w[4]) | (static_cast<uint8_t>(w[5]) << 8);
    EXPECT_EQ(w[3], 0) << c.what;
    EXPECT_EQ(bodyLen, w.size() - 7) << c.what;
    std::string block = Le(c.payload.size(), 3) + '\0' + c.payload;
    if (c.packed) {
      EXPECT_EQ(plainLen, block.size()) << c.what;
      std::string out(plainLen, '\0');
      uLongf n = plainLen;
      ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                           reinterpret_cast<const Bytef*>(w.data() + 7), bodyLen),
                Z_OK);
      EXPECT_EQ(out, block) << c.what;
    } else {
      EXPECT_EQ(plainLen, 0u) << c.what;
      EXPECT_EQ(w.substr(7), block) << c.what;
    }
  }
}

TEST(MysqlPacketLayer, CompressedReadsSplitAndMergedPackets) {
  // Two inner packets in one outer packet; then one inner packet cut across two.
  const std::string first = Packet(0, "one") + Packet(0, "two");
  const std::string third = Packet(0, std::string(300, 'z'));
  auto p = Open(Compressed(0, first, true) + Compressed(1, third.substr(0, 100), false) +
                Compressed(2, third.substr(100), true));
  p.net->SetCompress(true);
  ASSERT_EQ(p.net->ReadPacket(), 3);
  EXPECT_EQ(PayloadOf(*p.net, 3), "one");
  EXPECT_EQ(p.net->ReadPos()[3], 0);
  size_t reads = p.vio->ReadCalls();
  ASSERT_EQ(p.net->ReadPacket(), 3);
  EXPECT_EQ(PayloadOf(*p.net, 3), "two");
  EXPECT_EQ(p.vio->ReadCalls(), reads) << "the second packet comes without a transport read";
  ASSERT_EQ(p.net->ReadPacket(), 300);
  EXPECT_EQ(PayloadOf(*p.net, 300), std::string(300, 'z'));
  EXPECT_EQ(p.net->ReadPos()[300], 0);
}

TEST(MysqlPacketLayer, CompressedPacketThatLiesAboutItsSizeIsMalformed) {
  const std::string inner = Packet(0, std::string(200, 'q'));
  struct Case {
    const char* what;
    int64_t declared;
    int number;
  };
  const Case cases[] = {
      {"declares less than it inflates to", 100, mysql::CR_MALFORMED_PACKET},
      {"declares more than it inflates to", 1000, mysql::CR_MALFORMED_PACKET},
  };
  for (const auto& c : cases) {
    auto p = Open(Compressed(0, inner, true, c.declared));
    p.net->SetCompress(true);
    EXPECT_EQ(p.net->SafeRead(), -1) << c.what;
    EXPECT_EQ(p.net->ErrorNumber(), c.number) << c.what;
    EXPECT_FALSE(p.net->IsConnected()) << c.what;
  }
  auto p = Open(Le(5, 3) + '\0' + Le(40, 3) + "junk!");
  p.net->SetCompress(true);
  EXPECT_EQ(p.net->SafeRead(), -1) << "data that does not inflate";
  EXPECT_EQ(p.net->ErrorNumber(), mysql::CR_SERVER_LOST);
}

TEST(MysqlPacketLayer, CompressedRoundTripThroughOwnWriter) {
  // What this layer writes compressed, it reads back: sequence bytes and all.
  auto writer = Open("");
  writer.net->SetCompress(true);
  writer.net->Clear();
  std::string big(100000, 'k');
  ASSERT_EQ(writer.net->WritePacket(big.data(), big.size()), mysql::NetResult::kOk);
  ASSERT_EQ(writer.net->WritePacket("tail", 4), mysql::NetResult::kOk);
  ASSERT_EQ(writer.net->Flush(), mysql::NetResult::kOk);
  auto reader = Open(writer.vio->Written(), 777);
  reader.net->SetCompress(true);
  ASSERT_EQ(reader.net->ReadPacket(), 100000);
  EXPECT_EQ(PayloadOf(*reader.net, 100000), big);
  ASSERT_EQ(reader.net->ReadPacket(), 4);
  EXPECT_EQ(PayloadOf(*reader.net, 4), "tail");
}
