// Feeds arbitrary server bytes to the client's parsers: greeting, login replies, OK and
// error packets, column packets and rows (text rows, or prepared-statement replies and
// binary rows), in both packet formats, through the in-memory transport. The first
// input byte picks options; the rest is what the server sends.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "mysql/protocol/client.h"
#include "mysql/protocol/memory_vio.h"
#include "mysql/protocol/prepared.h"

namespace {

void DrainResult(mysql::TMysqlClient& c) {
  auto r = c.UseResult();
  if (!r) return;
  auto* direct = static_cast<mysql::TMySQLDirectResult*>(r.get());
  while (const mysql::TMysqlField* f = direct->FetchField()) {
    if (f->name.size() > 0x1000000) __builtin_trap();
  }
  size_t total = 0;
  for (int rows = 0; rows < 10000; ++rows) {
    const char* const* row = r->FetchRow();
    if (!row) break;
    const uint32_t* lengths = r->FetchLengths();
    for (uint32_t i = 0; i < r->NumFields(); ++i) {
      // Touch every byte handed out, and its terminator.
      if (row[i]) {
        for (uint32_t k = 0; k <= lengths[i]; ++k) total += static_cast<unsigned char>(row[i][k]);
        mysql::BinaryTemporal t;
        const uint8_t type = r->Field(i).type;
        if (mysql::BinaryValueWidth(type) < 0 && mysql::DecodeTemporal(type, row[i], lengths[i], t))
          total += t.microsecond;
      }
    }
  }
  if (total == 1) __builtin_trap();  // keeps the reads from being optimised away
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t options = data[0];
  const size_t chunk = 1 + (data[1] & 0x3F);
  std::string server(reinterpret_cast<const char*>(data + 2), size - 2);

  auto vio = std::make_unique<mysql::MemoryVio>(server, chunk);
  mysql::PreparedQueryClient c(std::move(vio));
  c.SetCompress((options & 1) != 0);
  uint32_t flags = mysql::kDefaultClientFlags;
  if (options & 2) flags &= ~uint32_t{mysql::kClientSecureConnection};
  const std::string db = (options & 4) ? "fuzzdb" : "";
  if (c.Connect("127.0.0.1", "fuzz", (options & 8) ? "" : "secret", db, 3306, "", false, flags) !=
      mysql::ClientResult::kOk) {
    return 0;
  }
  const char* statements[] = {
      "SELECT a, b FROM t",
      "LOAD DATA LOCAL INFILE '/nonexistent/qm-fuzz.tsv' INTO TABLE t",
      "UPDATE t SET a = 1",
  };
  for (const char* s : statements) {
    if (((options & 16) ? c.RunPrepared(s) : c.Query(s)) == mysql::ClientResult::kOk)
      DrainResult(c);
    if (!c.IsConnected()) break;
  }
  c.Ping();
  return 0;
}
