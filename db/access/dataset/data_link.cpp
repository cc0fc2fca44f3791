#include "db/access/dataset/data_link.h"

#include <algorithm>

#include "db/access/dataset/caught_errors.h"
#include "db/access/dataset/dataset.h"

namespace kelvorin {

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_ != nullptr) source_->RemoveLink(*this);
  source_ = source;
  if (source_ != nullptr) source_->AddLink(*this);
  RunCaught([this] { ActiveChanged(); });
}

TDataSet* TDataLink::DataSet() const { return source_ == nullptr ? nullptr : source_->DataSet(); }

bool TDataLink::Active() const {
  TDataSet* dataset = DataSet();
  return dataset != nullptr && source_->Enabled() && dataset->Active();
}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_ != nullptr) dataset_->RemoveDataSource(*this);
  dataset_ = dataset;
  if (dataset_ != nullptr) dataset_->AddDataSource(*this);
  NotifyActive();
}

void TDataSource::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  NotifyActive();
}

void TDataSource::AddLink(TDataLink& link) { links_.push_back(&link); }

void TDataSource::RemoveLink(TDataLink& link) { std::erase(links_, &link); }

void TDataSource::NotifyActive() noexcept {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) RunCaught([link] { link->ActiveChanged(); });
  if (OnStateChange) RunCaught([this] { OnStateChange(*this); });
}

void TDataSource::Notify(TDataEvent event, TField* field) noexcept {
  if (!enabled_) return;
  // A link may detach itself (or another) while it is told.
  for (TDataLink* link : std::vector<TDataLink*>(links_)) {
    if (std::find(links_.begin(), links_.end(), link) == links_.end()) continue;
    RunCaught([&] {
      switch (event) {
        case TDataEvent::deFieldChange: link->RecordChanged(field); break;
        case TDataEvent::deRecordChange: link->RecordChanged(nullptr); break;
        case TDataEvent::deDataSetChange: link->DataSetChanged(); break;
        case TDataEvent::deDataSetScroll: link->DataSetScrolled(); break;
        case TDataEvent::deLayoutChange: link->LayoutChanged(); break;
        case TDataEvent::deUpdateRecord: link->UpdateData(); break;
        case TDataEvent::deUpdateState: link->StateChanged(); break;
        case TDataEvent::deCheckBrowseMode: link->CheckBrowseMode(); break;
      }
    });
  }
  if (event == TDataEvent::deUpdateState) {
    if (OnStateChange) RunCaught([this] { OnStateChange(*this); });
  } else if (event == TDataEvent::deFieldChange || event == TDataEvent::deRecordChange ||
             event == TDataEvent::deDataSetChange || event == TDataEvent::deDataSetScroll) {
    TField* changed = event == TDataEvent::deFieldChange ? field : nullptr;
    if (OnDataChange) RunCaught([this, changed] { OnDataChange(*this, changed); });
  }
}

}  // namespace kelvorin
