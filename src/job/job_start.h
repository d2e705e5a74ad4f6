// How a job starts, the same from the windows and from the command line: a new
// catalogue of the source on its connection, loaded; the check tree, which chooses
// every object it shows; the run over the chosen objects. Each front end makes its
// own checks between the steps (the script file, the destination) and words its own
// failures, so none of them is repeated here.
#pragma once

#include <memory>

#include "core/project_settings.h"
#include "catalog/corvane.h"
#include "job/job_runner.h"
#include "job/job_view.h"
#include "job/source_tree.h"
#include "platform/ado/connection.h"

namespace job {

class TJobStart {
 public:
  // The settings and both connections are not owned and outlive this. The settings
  // are read at each step, so they may be filled after construction.
  TJobStart(const TProjectSettings& settings, ado::Connection& source, ado::Connection& dest)
      : settings_(settings), source_(source), dest_(dest) {}

  // A new, empty catalogue of the settings' source kind on the source connection
  // replaces the current one, which is destroyed first: pointers into it dangle.
  TCorvane& NewCatalogue();
  // The current catalogue; null before the first NewCatalogue.
  TCorvane* Catalogue() const { return catalogue_.get(); }

  // Loads the current catalogue. False when there is none or it could not be loaded;
  // the loader has then shown its own message.
  bool LoadCatalogue();

  // Fills tree (a fresh one) from the current catalogue for the settings' kinds and
  // chooses every object it shows. False, adding nothing, when there is no catalogue;
  // an error while building propagates, tree holding the nodes built so far.
  bool BuildTree(TSourceTree& tree) const;

  // Runs the job over the chosen objects of the current catalogue, as RunJob does
  // (which also says what it throws). Requires a catalogue.
  TJobTotals Run(TJobView& view) const;

 private:
  const TProjectSettings& settings_;
  ado::Connection& source_;
  ado::Connection& dest_;
  std::unique_ptr<TCorvane> catalogue_;
};

}  // namespace job
