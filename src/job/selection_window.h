// What GO in the main window needs of the source data selection window, so the main
// window is built and tested apart from the job's window.
#pragma once

class TCorvane;
class TProjectSettings;
namespace ado {
class Connection;
}

class TSelectionWindow {
 public:
  virtual ~TSelectionWindow() = default;
  // None of the inputs is owned by the window.
  virtual void SetSettings(TProjectSettings* settings) = 0;
  virtual void SetSourceConnection(ado::Connection* connection) = 0;
  virtual void SetDestConnection(ado::Connection* connection) = 0;
  virtual void SetCatalogue(TCorvane* catalogue) = 0;
  // False only when no catalogue was handed over; an error while building goes on.
  virtual bool BuildSourceTree() = 0;
  // Lets the process log take the full width (script saving is off).
  virtual void CollapseScripts() = 0;
  // Shows the window modally and returns when the user has closed it.
  virtual void ShowModal() = 0;
};
