#include "job/line_model.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace job {

namespace {
// Large enough that a million short lines need a few hundred blocks, small enough
// that a nearly empty pane costs little.
constexpr std::size_t kBlockSize = 1 << 20;
}  // namespace

const char* TLineModel::store(std::string_view text) {
  if (text.empty()) return "";
  if (text.size() > kBlockSize / 4) {
    // A long line gets a block of its own; the current block stays in use.
    auto block = std::make_unique<char[]>(text.size());
    std::memcpy(block.get(), text.data(), text.size());
    const char* p = block.get();
    blocks_.insert(blocks_.end() - (blocks_.empty() ? 0 : 1), std::move(block));
    return p;
  }
  if (blocks_.empty() || blockSize_ - blockUsed_ < text.size()) {
    blocks_.push_back(std::make_unique<char[]>(kBlockSize));
    blockSize_ = kBlockSize;
    blockUsed_ = 0;
  }
  char* p = blocks_.back().get() + blockUsed_;
  std::memcpy(p, text.data(), text.size());
  blockUsed_ += text.size();
  return p;
}

void TLineModel::append(std::string_view text, TLogColor color) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("A pane line cannot hold more than 4 GB.");
  const char* data = store(text);
  lines_.push_back(Entry{data, static_cast<std::uint32_t>(text.size()), color.red, color.green,
                         color.blue, static_cast<std::uint8_t>(color.isDefault)});
}

void TLineModel::clear() {
  lines_.clear();
  lines_.shrink_to_fit();
  blocks_.clear();
  blockUsed_ = 0;
  blockSize_ = 0;
}

TLogColor TLineModel::color(std::size_t index) const {
  const Entry& e = lines_[index];
  return TLogColor{e.red, e.green, e.blue, e.isDefault != 0};
}

std::string TLineModel::text() const {
  std::string out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i) out += "\r\n";
    out += line(i);
  }
  return out;
}

}  // namespace job
