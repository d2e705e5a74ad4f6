// TfrmSplash: the About window, created hidden at start and shown modally from the
// main window's "About" link.
#pragma once

#include <QDialog>

class QLabel;

class TfrmSplash : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmSplash(QWidget* parent = nullptr);

  QLabel* lblProductName;
  QLabel* lblMaker;
};
