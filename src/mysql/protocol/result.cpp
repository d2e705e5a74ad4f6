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
  const bool whole = binary_ ? ReadBinaryValues(p, static_cast<size_t>(len))
                             : ReadTextValues(p, static_cast<size_t>(len));
  if (!whole) {
    session_->Malformed();
    return End(RowRead::kError);
  }
  currentRow_ = static_cast<int64_t>(rowCount_);
  ++rowCount_;
  lastRead_ = RowRead::kRow;
}

bool TMysqlResult::ReadTextValues(const uint8_t* p, size_t length) {
  PacketReader in(p, length);
  size_t used = 0;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool isNull = false;
    if (!in.LengthCodedText(data, size, isNull)) return false;
    if (isNull) {
      StoreNull(i);
    } else {
      StoreValue(i, data, size, used);
    }
  }
  // More values than columns is as malformed as fewer.
  return in.Remaining() == 0;
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
