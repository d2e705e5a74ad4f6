// TfrmMain: the main window, where the kinds, connections and options of a job are
// chosen and GO starts it. The decisions of its handlers live in job_start.h.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "catalog/corvane.h"
#include "core/project_settings.h"
#include "job/job_start.h"
#include "job/selection_window.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TdmMain;

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  enum class TSide { Source, Destination };

  // The data module and the settings outlive the window.
  TfrmMain(TdmMain& dataModule, TProjectSettings& settings, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The About window; not owned.
  void SetAboutWindow(QWidget* about) { about_ = about; }
  // Makes the source data selection window GO opens.
  std::function<std::unique_ptr<TSelectionWindow>()> createSelectionWindow;
  // The save dialog of the browse button; returns the chosen path or empty text.
  std::function<QString(const QString& proposed)> chooseScriptFile;
  // Runs a connection settings dialog of a kind on a connection; returns its modal result.
  std::function<int(TDatabaseKind kind, ado::Connection& connection)> runConnectionSetup;

  // The current catalogue; null before the first GO that gets that far.
  TCorvane* CurrentCatalogue() const { return start_.Catalogue(); }

  // Controls, named as the system names them.
  QComboBox* cmbSource;
  QLabel* lblSource;
  QLabel* lblSourceStatus;
  QComboBox* cmbDest;
  QLabel* lblDest;
  QLabel* lblDestStatus;
  QPushButton* btnExecute;
  QGroupBox* grpExecute;
  QCheckBox* chkDropIfExist;
  QCheckBox* chkCreateObject;
  QCheckBox* chkTransferData;
  QCheckBox* chkUpdateData;
  QComboBox* cmbLimitations;
  QCheckBox* chkFastTransfer;
  QGroupBox* grpReplacement;
  QComboBox* cmbReplaceChar;
  QCheckBox* chkSaveScripts;
  QLineEdit* txtDestinationFileName;
  QToolButton* btnDestinationFileName;
  QLabel* lblAbout;

 public slots:
  void FormShow();
  void lblSourceClick();
  void lblDestClick();
  void cmbDestChange();
  void txtDestinationFileNameButtonClick();
  void btnExecuteClick();
  void AboutClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OpenConnectionSetup(TSide side, TDatabaseKind kind);
  void ShowConnectionStatus(TSide side, bool connected);
  bool CheckConnections();
  void RunJobStart();
  // The item index as the system counts it: -1 when the text was typed over the item.
  int LimitationsIndex() const;

  TdmMain& dm_;
  TProjectSettings& settings_;
  QWidget* about_ = nullptr;
  // Owns the current catalogue.
  job::TJobStart start_;
  bool shown_ = false;
};
