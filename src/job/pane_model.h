// A one-column model over a job line model, for the process log and scripts panes.
// Rows reach the view in batches (Publish), so a job of a million lines costs one view
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
  // Characters in the longest line shown so far, for the width of the pane's column.
  std::size_t Longest() const { return longest_; }

 private:
  const TLineModel& lines_;
  int published_ = 0;
  std::size_t longest_ = 0;
};

}  // namespace job
