// Streamed result sets of a TMysqlClient session.
#include <cstring>
#include <new>

#include "mysql/protocol/client.h"
#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/wire.h"

namespace mysql {

TMysqlResult::TMysqlResult(TMysqlClient* session, std::vector<TMysqlField> fields)
    : session_(session), fields_(std::move(fields)) {
  lengths_.assign(fields_.size(), 0);
  row_.assign(fields_.size(), nullptr);
}

TMysqlResult::~TMysqlResult() {
  TMysqlClient* s = session_;
  if (!s) return;
  if (s->current_ == this) s->current_ = nullptr;
  if (s->status_ == TMysqlClient::kStreaming) {
    s->DrainRows();
    s->FinishStreaming(this, rowCount_);
  }
}

void FreeResult(std::unique_ptr<TMysqlResult>& result) {
  result.reset();
}

void TMysqlResult::End(RowRead result) {
  atEnd_ = true;
  lastRead_ = result;
  if (session_) session_->FinishStreaming(this, rowCount_);
  session_ = nullptr;
}

void TMysqlResult::ReadRow() {
  if (!session_) {
    if (!atEnd_) lastRead_ = RowRead::kError;
    atEnd_ = true;
    return;
  }
  TMysqlNet& net = session_->net_;
  int len = net.SafeRead();
  if (len < 0) return End(RowRead::kError);
  const uint8_t* p = net.ReadPos();
  if (session_->AtRowsEnd(p, len)) return End(RowRead::kEnd);

  const size_t n = fields_.size();
  // The values and their terminators never take more than the packet plus one byte
  // per column.
  const size_t need = static_cast<size_t>(len) + n;
  if (block_.size() < need) {
    try {
      block_.resize(need);
    } catch (const std::bad_alloc&) {
      // The row cannot be kept: end the rows with 2008 instead of losing it quietly,
      // and drop the rest so the session goes on.
      TMysqlClient* s = session_;
      End(RowRead::kError);
      s->DrainRows();
      s->ClientError(CR_OUT_OF_MEMORY);
      return;
    }
  }
  if (binary_) return ReadBinaryValues(p, static_cast<size_t>(len));
  char* out = block_.data();
  PacketReader in(p, static_cast<size_t>(len));
  size_t used = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool isNull = false;
    if (!in.LengthCodedText(data, size, isNull)) {
      session_->Malformed();
      return End(RowRead::kError);
    }
    if (isNull) {
      row_[i] = nullptr;
      lengths_[i] = 0;
      continue;
    }
    char* dst = out + used;
    if (size) std::memcpy(dst, data, size);
    dst[size] = '\0';
    row_[i] = dst;
    lengths_[i] = static_cast<uint32_t>(size);
    used += size + 1;
  }
  if (in.Remaining() != 0) {
    // More values than columns.
    session_->Malformed();
    return End(RowRead::kError);
  }
  currentRow_ = static_cast<int64_t>(rowCount_);
  ++rowCount_;
  lastRead_ = RowRead::kRow;
}

const char* const* TMysqlResult::FetchRow() {
  if (rowCount_ == 0 || atEnd_) return nullptr;
  if (!pending_) ReadRow();
  pending_ = false;
  if (atEnd_) return nullptr;
  return row_.data();
}

const TMysqlField* TMySQLDirectResult::FetchField() {
  ++cursor_;
  if (cursor_ < 0 || static_cast<size_t>(cursor_) >= Fields().size()) return nullptr;
  return &Fields()[static_cast<size_t>(cursor_)];
}

}  // namespace mysql
