// The field-following edit.
#include "app/records_windows/field_watcher.h"

#include "app/grid/ansi_text.h"
#include "db/access/dataset/dataset.h"

namespace app {

class TDBFieldWatcher::Link : public kelvorin::TDataLink {
 public:
  explicit Link(TDBFieldWatcher& watcher) : watcher_(watcher) {}
  bool detaching = false;

 protected:
  void ActiveChanged() override { Reload(); }
  void DataSetChanged() override { Reload(); }
  void DataSetScrolled() override { Reload(); }
  void RecordChanged(kelvorin::TField*) override { Reload(); }

 private:
  void Reload() {
    if (!detaching) watcher_.Reload();
  }
  TDBFieldWatcher& watcher_;
};

TDBFieldWatcher::TDBFieldWatcher(kelvorin::TDataSource& source, std::string field_name, QWidget* parent)
    : QLineEdit(parent), link_(std::make_unique<Link>(*this)), field_name_(std::move(field_name)) {
  link_->SetDataSource(&source);
  Reload();
}

TDBFieldWatcher::~TDBFieldWatcher() {
  link_->detaching = true;
  link_->SetDataSource(nullptr);
}

void TDBFieldWatcher::Reload() {
  QString text;
  kelvorin::TDataSet* dataset = link_->DataSet();
  if (dataset != nullptr && dataset->Active()) {
    if (kelvorin::TField* field = dataset->FindField(field_name_)) text = FromAnsi(field->AsString());
  }
  if (text != this->text()) setText(text);
}

}  // namespace app
