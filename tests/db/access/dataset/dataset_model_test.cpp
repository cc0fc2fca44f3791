// A model-based test of datasets: random inserts, edits, posts, cancels,
// deletes, transactions, filters, index switches and ranges on a table,
// mirrored in an in-memory model. After each step the dataset must show
// the model's visible records in the current order (the index key, ties
// by record position), backwards too, with matching counts and record
// numbers, and Locate and Lookup must find the model's first match; after
// a reopen, the committed model.
#include <algorithm>
#include <map>
#include <optional>
#include <random>

#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

struct Row {
  std::string name;
  int32_t rating = 0;
  TABSRecordId position;
};
using Model = std::map<int32_t, Row>;  // by id

const std::vector<std::string> kNames = {"Al", "Bo", "Cy", "Di", "Ed"};

struct FilterCase {
  std::string text;
  std::function<bool(const Row&)> admits;
};

const std::vector<FilterCase>& Filters() {
  static const std::vector<FilterCase> filters = {
      {"", [](const Row&) { return true; }},
      {"Rating > 5", [](const Row& r) { return r.rating > 5; }},
      {"Rating < 3", [](const Row& r) { return r.rating < 3; }},
      {"Jmeno = 'Bo'", [](const Row& r) { return r.name == "Bo"; }},
  };
  return filters;
}

class DatasetModelTest : public DatasetTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    TABSTable& players = Players(false);
    players.IndexDefs().Add("I_Rating", "Rating");
    players.IndexDefs().Add("I_Jmeno", "Jmeno");
    players.CreateTable();
    players.Open();
    table_ = &players;
    random_.seed(GetParam());
  }

  int32_t Pick(int32_t below) { return std::uniform_int_distribution<int32_t>(0, below - 1)(random_); }

  // The visible records in the dataset's order.
  std::vector<int32_t> Expected() const {
    std::vector<std::pair<int32_t, const Row*>> rows;
    for (const auto& [id, row] : model_) {
      if (!Filters()[filter_].admits(row)) continue;
      if (range_ && (row.rating < range_->first || row.rating > range_->second)) continue;
      rows.emplace_back(id, &row);
    }
    const auto key = [&](const std::pair<int32_t, const Row*>& r) {
      if (index_ == "I_Rating") return std::to_string(r.second->rating);
      if (index_ == "I_Jmeno") return r.second->name;
      return std::string();
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
      if (index_ == "I_id") return a.first < b.first;
      if (key(a) != key(b)) return key(a) < key(b);
      return a.second->position < b.second->position;
    });
    std::vector<int32_t> ids;
    for (const auto& r : rows) ids.push_back(r.first);
    return ids;
  }

  void Check(const std::string& step) {
    TABSTable& t = *table_;
    std::vector<int32_t> expected = Expected();
    std::vector<int32_t> forward;
    for (t.First(); !t.Eof(); t.Next()) {
      forward.push_back(t.FieldByName("id").AsInteger());
      ASSERT_EQ(t.RecNo(), static_cast<int32_t>(forward.size())) << step;
    }
    std::vector<int32_t> backward;
    for (t.Last(); !t.Bof(); t.Prior()) backward.push_back(t.FieldByName("id").AsInteger());
    std::reverse(backward.begin(), backward.end());
    if (index_.empty()) {
      // Storage order is the engine's: the same records, and the same order both ways.
      ASSERT_EQ(forward, backward) << step;
      std::sort(forward.begin(), forward.end());
      std::sort(expected.begin(), expected.end());
    }
    ASSERT_EQ(forward, expected) << step;
    ASSERT_EQ(backward.size(), expected.size()) << step;
    ASSERT_EQ(t.RecordCount(), static_cast<int32_t>(expected.size())) << step;
    if (index_.empty()) return;
    const std::string name = kNames[static_cast<size_t>(Pick(static_cast<int32_t>(kNames.size())))];
    std::optional<int32_t> first;
    for (int32_t id : expected) {
      if (model_.at(id).name == name) {
        first = id;
        break;
      }
    }
    const TDataVariant looked_up = t.Lookup("Jmeno", {TDataVariant::String(name)}, "id");
    ASSERT_EQ(looked_up.IsNull(), !first.has_value()) << step << " lookup " << name;
    if (first) {
      ASSERT_EQ(looked_up.AsInt(), *first) << step;
    }
    ASSERT_EQ(t.Locate("Jmeno", {TDataVariant::String(name)}), first.has_value()) << step << " locate " << name;
    if (first) {
      ASSERT_EQ(t.FieldByName("id").AsInteger(), *first) << step;
    }
  }

  // Goes to a visible record; its id.
  std::optional<int32_t> GoToVisible() {
    const std::vector<int32_t> visible = Expected();
    if (visible.empty()) return std::nullopt;
    const int32_t id = visible[static_cast<size_t>(Pick(static_cast<int32_t>(visible.size())))];
    EXPECT_TRUE(table_->Locate("id", {TDataVariant::Integer(id)}));
    return id;
  }

  TABSRecordId CurrentPosition() {
    const TBookmark bookmark = table_->GetBookmark();
    return TABSRecordId::Load(bookmark.data());
  }

  void Step(int32_t number) {
    TABSTable& t = *table_;
    const std::string name = kNames[static_cast<size_t>(Pick(static_cast<int32_t>(kNames.size())))];
    const int32_t rating = Pick(10);
    std::string step = "step " + std::to_string(number) + ": ";
    switch (Pick(15)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4: {
        t.Insert();
        t.FieldByName("Jmeno").SetAsString(name);
        t.FieldByName("Rating").SetAsInteger(rating);
        const bool cancel = Pick(5) == 0;
        step += cancel ? "insert cancelled" : "insert";
        if (cancel) {
          t.Cancel();
          break;
        }
        t.Post();
        model_[t.FieldByName("id").AsInteger()] = {name, rating, CurrentPosition()};
        break;
      }
      case 5:
      case 6: {
        const std::optional<int32_t> id = GoToVisible();
        if (!id) break;
        t.Edit();
        t.FieldByName("Rating").SetAsInteger(rating);
        if (Pick(2) == 0) t.FieldByName("Jmeno").SetAsString(name);
        const bool cancel = Pick(4) == 0;
        step += cancel ? "edit cancelled" : "edit";
        if (cancel) {
          t.Cancel();
          break;
        }
        t.Post();
        model_[*id].rating = rating;
        model_[*id].name = t.FieldByName("Jmeno").AsString();
        break;
      }
      case 7: {
        const std::optional<int32_t> id = GoToVisible();
        step += "delete";
        if (!id) break;
        t.Delete();
        model_.erase(*id);
        break;
      }
      case 8: {
        if (!database_->InTransaction()) {
          step += "start transaction";
          database_->StartTransaction();
          committed_ = model_;
        } else if (Pick(2) == 0) {
          step += "commit";
          database_->Commit();
        } else {
          step += "rollback";
          database_->Rollback();
          model_ = committed_;
        }
        break;
      }
      case 9:
      case 10: {
        // Unfiltered half of the time.
        filter_ = Pick(2) == 0 ? 0 : static_cast<size_t>(Pick(static_cast<int32_t>(Filters().size())));
        step += "filter " + Filters()[filter_].text;
        t.SetFilter(Filters()[filter_].text);
        t.SetFiltered(true);
        break;
      }
      case 11: {
        static const std::vector<std::string> indexes = {"", "I_id", "I_Rating", "I_Jmeno"};
        const std::string index = indexes[static_cast<size_t>(Pick(4))];
        step += "index " + index;
        t.SetIndexName(index);
        if (index != index_) range_.reset();  // a range of the old index is gone
        index_ = index;
        break;
      }
      default: {
        if (index_ != "I_Rating") break;
        if (Pick(3) == 0) {
          step += "cancel range";
          t.CancelRange();
          range_.reset();
          break;
        }
        const int32_t low = Pick(10);
        const int32_t high = low + Pick(4);
        step += "range " + std::to_string(low) + ".." + std::to_string(high);
        t.SetRange({TDataVariant::Integer(low)}, {TDataVariant::Integer(high)});
        range_ = std::make_pair(low, high);
        break;
      }
    }
    Check(step);
  }

  TABSTable* table_ = nullptr;
  std::mt19937 random_;
  Model model_;
  Model committed_;
  size_t filter_ = 0;
  std::string index_;
  std::optional<std::pair<int32_t, int32_t>> range_;
};

TEST_P(DatasetModelTest, RandomStepsAgreeWithTheModel) {
  for (int32_t step = 0; step < 250; ++step) {
    Step(step);
    if (HasFatalFailure()) return;
  }
  if (database_->InTransaction()) {
    database_->Commit();
  }
  committed_ = model_;
  table_->Close();
  database_->Close();
  database_->Open();
  table_->SetIndexName("I_id");
  table_->SetFiltered(false);
  table_->Open();
  std::vector<std::string> ids;
  for (const auto& [id, row] : committed_) ids.push_back(std::to_string(id));
  EXPECT_EQ(Column(*table_, "id"), ids);
}

INSTANTIATE_TEST_SUITE_P(Seeds, DatasetModelTest, ::testing::Values(1u, 2u, 3u));

}  // namespace
}  // namespace kelvorin::testing
