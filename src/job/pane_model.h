// A list model over a job line model, for the process log and scripts panes. Rows
// reach the view in batches (Publish), so a job of a million lines costs one view
// update per batch, not one per line.
#pragma once

#include <QAbstractListModel>
#include <QColor>

#include "job/line_model.h"

namespace job {

class TPaneModel : public QAbstractListModel {
 public:
  explicit TPaneModel(const TLineModel& lines, QObject* parent = nullptr)
      : QAbstractListModel(parent), lines_(lines) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Shows the lines appended since the last call; true when there were any.
  bool Publish();
  // The line model was emptied.
  void Reset();
  int Published() const { return published_; }
  // The size of one character and of one line in the pane's fixed-pitch font, so the
  // rows can be as wide as the longest line and the pane scrolls sideways.
  void SetCharacterSize(int width, int lineHeight) {
    charWidth_ = width;
    lineHeight_ = lineHeight;
  }

 private:
  const TLineModel& lines_;
  int published_ = 0;
  std::size_t longest_ = 0;
  int charWidth_ = 8;
  int lineHeight_ = 16;
};

}  // namespace job
