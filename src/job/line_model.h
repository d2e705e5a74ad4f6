// The lines behind the process log and generated-scripts panes. A pane widget is a
// view of one of these; the script file is written from the scripts model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace job {

// A line's colour: the pane's normal text colour, or an RGB colour.
struct TLogColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool isDefault = true;

  static constexpr TLogColor Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return TLogColor{r, g, b, false};
  }
  friend bool operator==(const TLogColor&, const TLogColor&) = default;
};

// The colours of the process log.
inline constexpr TLogColor kDefaultColor{};
inline constexpr TLogColor kRed = TLogColor::Rgb(255, 0, 0);       // errors
inline constexpr TLogColor kYellow = TLogColor::Rgb(255, 255, 0);  // column dump of a failed row
inline constexpr TLogColor kNavy = TLogColor::Rgb(0, 0, 128);      // per-pass summaries
inline constexpr TLogColor kBlue = TLogColor::Rgb(0, 0, 255);      // the stop line

// An append-only list of coloured lines that stays fast and compact for millions of
// lines: the text lives in large blocks that are never moved once written, so
// appending never copies earlier lines and a line() view stays valid until clear().
// Lines are kept byte for byte (UTF-8 in practice); they never hold a line end.
class TLineModel {
 public:
  TLineModel() = default;
  TLineModel(const TLineModel&) = delete;
  TLineModel& operator=(const TLineModel&) = delete;

  // Adds one line; an empty text is an empty line.
  void append(std::string_view text, TLogColor color = kDefaultColor);
  void clear();

  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  std::string_view line(std::size_t index) const {
    return {lines_[index].data, lines_[index].size};
  }
  TLogColor color(std::size_t index) const;

  // Every line followed by "\r\n" except the last, as the pane reads back as a whole.
  // Meant for small models (tests, copying a selection); files are written line by line.
  std::string text() const;

 private:
  struct Entry {
    const char* data;
    std::uint32_t size;
    std::uint8_t red, green, blue, isDefault;
  };
  static_assert(sizeof(Entry) == 16);

  const char* store(std::string_view text);

  std::vector<Entry> lines_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = 0;
  std::size_t blockSize_ = 0;
};

}  // namespace job
