#include "job/pane_model.h"

#include <algorithm>
#include <limits>

namespace job {

namespace {
// Yellow marks the column dump of a failed row; on a light pane it would be
// unreadable, so those lines get a dark band behind them.
const QColor kDumpBand(60, 64, 72);
}  // namespace

int TPaneModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : published_;
}

QVariant TPaneModel::data(const QModelIndex& index, int role) const {
  const auto row = static_cast<std::size_t>(index.row());
  if (!index.isValid() || row >= lines_.size()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      const std::string_view text = lines_.line(row);
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::ForegroundRole: {
      const TLogColor c = lines_.color(row);
      if (c.isDefault) return {};
      return QColor(c.red, c.green, c.blue);
    }
    case Qt::BackgroundRole:
      if (lines_.color(row) == kYellow) return kDumpBand;
      return {};
    default: return {};
  }
}

bool TPaneModel::Publish() {
  const std::size_t cap = static_cast<std::size_t>(std::numeric_limits<int>::max());
  const int size = static_cast<int>(std::min(lines_.size(), cap));
  if (size <= published_) return false;
  for (int row = published_; row < size; ++row)
    longest_ = std::max(longest_, lines_.line(static_cast<std::size_t>(row)).size());
  beginInsertRows({}, published_, size - 1);
  published_ = size;
  endInsertRows();
  return true;
}

void TPaneModel::Reset() {
  beginResetModel();
  published_ = 0;
  longest_ = 0;
  endResetModel();
}

}  // namespace job
