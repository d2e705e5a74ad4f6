#include "job/job_start.h"

#include <stdexcept>

namespace job {

TCorvane& TJobStart::NewCatalogue() {
  catalogue_.reset();
  catalogue_ = std::make_unique<TCorvane>();
  catalogue_->ClearDBInfo();
  catalogue_->SetDBKind(settings_.SourceKind);
  catalogue_->SetConnection(&source_);
  return *catalogue_;
}

bool TJobStart::LoadCatalogue() {
  return catalogue_ && catalogue_->LoadDBInfo();
}

bool TJobStart::BuildTree(TSourceTree& tree) const {
  return BuildSourceTree(catalogue_.get(), settings_.SourceKind, settings_.DestKind, tree);
}

TJobTotals TJobStart::Run(TJobView& view) const {
  if (!catalogue_) throw std::logic_error("A job runs over a catalogue, and none was made.");
  return RunJob(settings_, source_, dest_, *catalogue_, view);
}

}  // namespace job
