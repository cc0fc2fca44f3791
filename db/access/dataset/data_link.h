// Data sources and data links: how views and detail datasets follow a
// dataset. A dataset tells each of its data sources what happened (the
// events below); a source passes it to every link attached to it. Whatever
// a link raises is handed to the error hook, never to the dataset.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kelvorin {

class TDataSet;
class TDataSource;
class TField;

enum class TDataEvent : uint8_t {
  deFieldChange,     // a field of the current record was written
  deRecordChange,    // the current record changed as a whole (edit begun, cancelled)
  deDataSetChange,   // the records may all have changed (open, refresh, filter, post)
  deDataSetScroll,   // the dataset moved to another record
  deLayoutChange,    // the fields changed
  deUpdateRecord,    // views are to write what they hold into the record (before a post)
  deUpdateState,     // the dataset's state changed
  deCheckBrowseMode, // the dataset is about to leave edit state
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const;

 protected:
  friend class TDataSource;
  // The dataset was opened or closed (or the link moved to another source).
  virtual void ActiveChanged() {}
  virtual void DataSetChanged() {}
  virtual void DataSetScrolled() {}
  // The current record changed; `field` when one field was written.
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void StateChanged() {}
  virtual void LayoutChanged() {}
  virtual void UpdateData() {}
  virtual void CheckBrowseMode() {}

 private:
  TDataSource* source_ = nullptr;
};

class TDataSource {
 public:
  TDataSource() = default;
  explicit TDataSource(TDataSet* dataset) { SetDataSet(dataset); }
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Called for a state change and for a data change (with the field written,
  // or none).
  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&, TField*)> OnDataChange;

  // From the dataset: passes the event to the links and the handlers.
  void Notify(TDataEvent event, TField* field) noexcept;
  // The dataset opened or closed.
  void NotifyActive() noexcept;

 private:
  friend class TDataLink;
  void AddLink(TDataLink& link);
  void RemoveLink(TDataLink& link);

  TDataSet* dataset_ = nullptr;
  bool enabled_ = true;
  std::vector<TDataLink*> links_;
};

}  // namespace kelvorin
