// TABSQuery: the dataset over the result of an SQL text. It keeps the text
// as lines (the statement is the lines joined with CR LF), the parameters
// read from the text's parameter tokens, and the processor while the text
// is prepared; Open shows the rows of the last statement, ExecSQL runs
// statements without rows. A master dataset (DataSource) supplies the
// values of parameters the query has not bound itself and re-runs the open
// query when its record changes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/dataset/abs_dataset.h"
#include "db/access/dataset/data_link.h"
#include "db/query/sql/sql_processor.h"

namespace kelvorin {

// The lines of an SQL text; every change runs OnChange.
class TQueryLines {
 public:
  const std::vector<std::string>& Lines() const { return lines_; }
  int32_t Count() const { return static_cast<int32_t>(lines_.size()); }
  // The lines, each followed by CR LF.
  std::string Text() const;
  void Add(std::string_view line);
  void Clear();
  // Splits at line breaks.
  void SetText(std::string_view text);
  // Items separated by commas or blanks, "..." quoting an item (a doubled
  // quote inside stands for one).
  void SetCommaText(std::string_view text);
  void Assign(const std::vector<std::string>& lines);

  std::function<void()> OnChange;

 private:
  void Changed();

  std::vector<std::string> lines_;
};

struct TQueryParam {
  std::string name;
  TABSVariant value;
  // Set when a value was given; master values never set it.
  bool bound = false;
};

class TABSQuery : public TABSDataSet {
 public:
  explicit TABSQuery(const void* owner = nullptr);
  ~TABSQuery() override;

  // --- The text ---
  TQueryLines& SQL() { return sql_; }
  const TQueryLines& SQL() const { return sql_; }
  // Does nothing when the texts are equal; otherwise closes and unprepares
  // first.
  void AssignSQL(const std::vector<std::string>& lines);

  // --- Parameters ---
  bool ParamCheck() const { return param_check_; }
  void SetParamCheck(bool on) { param_check_ = on; }
  std::vector<TQueryParam>& Params() { return params_; }
  // Raises "Field '%s' not found"-like 10888 for a name the text has not.
  TQueryParam& ParamByName(std::string_view name);
  void SetParamValue(std::string_view name, const TABSVariant& value);

  bool RequestLive() const { return request_live_; }
  void SetRequestLive(bool on);
  // -1 until a statement without rows has run.
  int64_t RowsAffected() const { return rows_affected_; }

  // --- Master ---
  TDataSource* DataSource() const { return master_link_.DataSource(); }
  // Raises "Circular datalinks are not allowed" for a source that follows
  // this query, directly or through others.
  void SetDataSource(TDataSource* source);
  TDataSet* MasterDataSet() const override { return master_link_.DataSet(); }

  // --- Running ---
  bool Prepared() const { return processor_ != nullptr; }
  void Prepare();
  void Unprepare();
  void ExecSQL();
  // Checked in the statement's row loops and lock waits; true cancels.
  std::function<bool()> OnCancelCheck;

  bool IsQuery() const override { return true; }
  // A disconnect also unprepares a query that is not open.
  void CloseForDisconnect() noexcept override;

 protected:
  std::unique_ptr<TABSLocalCursor> CreateCursor() override;
  void InternalClose() override;

 private:
  class MasterLink : public TDataLink {
   public:
    explicit MasterLink(TABSQuery& query) : query_(query) {}

   protected:
    void ActiveChanged() override { query_.MasterChanged(); }
    void DataSetChanged() override { query_.MasterChanged(); }
    void DataSetScrolled() override { query_.MasterChanged(); }

   private:
    TABSQuery& query_;
  };

  void SQLChanged();
  void ReadParams();
  // Hands the parameters (master values for those not bound) to the processor.
  void PassParams();
  // Prepares, passes the parameters and runs; for Open returns the rows.
  std::unique_ptr<TABSLocalCursor> Run(bool open);
  TABSLocalSession& OpenDatabase(std::string_view name);
  TABSDatabase& HeldDatabase() const;
  void CloseOtherDatabases() noexcept;
  void MasterChanged();

  TQueryLines sql_;
  std::vector<TQueryParam> params_;
  bool param_check_ = true;
  bool request_live_ = false;
  int64_t rows_affected_ = -1;
  std::unique_ptr<TABSSQLProcessor> processor_;
  std::vector<TABSDatabase*> other_databases_;
  MasterLink master_link_{*this};
  bool rerunning_ = false;
};

}  // namespace kelvorin
