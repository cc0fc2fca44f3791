// Whole-table copies against a model: a seeded random run of inserts,
// deletes of the highest ids, restructures (widen, narrow with values that
// fit and that do not, add with and without a default, drop, rename),
// copies, imports and compacts, after each of which the table must hold the
// model's rows in the order of each index and hand out the model's next id.
#include <map>
#include <optional>
#include <random>

#include "db/access/table/table_copy.h"
#include "db/storage/catalog/catalog_check.h"
#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

struct ModelColumn {
  std::string name;
  TABSColumnType type;
  int32_t size;
  std::optional<std::string> default_value = std::nullopt;  // what an insert that sets nothing stores
};

using Row = std::map<std::string, std::optional<std::string>>;  // column -> value (none: NULL)

struct Model {
  std::vector<ModelColumn> columns;  // besides id
  std::map<int64_t, Row> rows;       // by id
  int64_t last_id = 0;
};

bool IsText(TABSColumnType type) { return type == TABSColumnType::String; }

int64_t Limit(TABSColumnType type) {
  switch (type) {
    case TABSColumnType::SmallInt: return 32767;
    case TABSColumnType::Integer: return 2147483647;
    default: return INT64_MAX;
  }
}

bool Fits(const ModelColumn& column, const std::optional<std::string>& value) {
  if (!value) return true;
  if (IsText(column.type)) return static_cast<int32_t>(value->size()) <= column.size;
  const int64_t v = std::stoll(*value);
  return v <= Limit(column.type) && v >= -Limit(column.type);
}

class TableCopyModelTest : public DatasetTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    RegisterTableCopier();
    random_.seed(GetParam());
    TABSTable& table = Table();
    table.DeclaredFieldDefs().Add("id", ftAutoInc);
    table.DeclaredFieldDefs().Add("Jmeno", ftString, 8);
    table.DeclaredFieldDefs().Add("x", ftInteger);
    table.DeclaredFieldDefs().Add("r", ftInteger);
    table.IndexDefs().Add("I_id", "id", ixPrimary);
    table.IndexDefs().Add("I_x", "x;id", 0);
    table.CreateTable();
    model_.columns = {{"Jmeno", TABSColumnType::String, 8},
                      {"x", TABSColumnType::Integer, 0},
                      {"r", TABSColumnType::Integer, 0}};
  }
  TABSTable& Table(const std::string& name = "hraci") {
    TABSTable& table = NewTable(name);
    return table;
  }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  std::optional<std::string> RandomValue(const ModelColumn& column) {
    if (Pick(6) == 0) return std::nullopt;
    if (IsText(column.type)) {
      std::string text;
      const int length = 1 + Pick(column.size);
      for (int i = 0; i < length; ++i) text += static_cast<char>('a' + Pick(26));
      return text;
    }
    static const int64_t kMagnitudes[] = {100, 100000, 10000000000};
    int64_t limit = kMagnitudes[Pick(3)];
    limit = std::min(limit, Limit(column.type));
    return std::to_string(std::uniform_int_distribution<int64_t>(-limit, limit)(random_));
  }

  void Insert() {
    TABSTable& table = Table();
    table.Open();
    const int count = 1 + Pick(4);
    for (int i = 0; i < count; ++i) {
      Row row;
      table.Insert();
      for (const ModelColumn& column : model_.columns) {
        row[column.name] = RandomValue(column);
        if (!row[column.name]) {
          row[column.name] = column.default_value;
        } else if (IsText(column.type)) {
          table.FieldByName(column.name).SetAsString(*row[column.name]);
        } else {
          table.FieldByName(column.name).SetAsLargeInt(std::stoll(*row[column.name]));
        }
      }
      table.Post();
      model_.rows[++model_.last_id] = row;
      ASSERT_EQ(table.FieldByName("id").AsLargeInt(), model_.last_id);
    }
    table.Close();
  }

  void DeleteTop() {
    TABSTable& table = Table();
    table.SetIndexName("I_id");
    table.Open();
    for (int k = 1 + Pick(3); k > 0 && !model_.rows.empty(); --k) {
      table.Last();
      ASSERT_EQ(table.FieldByName("id").AsLargeInt(), model_.rows.rbegin()->first);
      table.Delete();
      model_.rows.erase(std::prev(model_.rows.end()));
    }
    table.Close();
  }

  // Applies `edit` to the definitions and to a copy of the model; the
  // restructure must succeed exactly when every value fits.
  void Restructure(const std::function<void(TABSFieldDefs&, Model&)>& edit, bool expect_index_failure = false) {
    TABSTable& table = Table();
    table.InitFieldDefs();
    Model changed = model_;
    edit(table.MutableRestructureDefs().Fields(), changed);
    bool fits = !expect_index_failure;
    for (const auto& [id, row] : changed.rows) {
      for (const ModelColumn& column : changed.columns) {
        const auto value = row.find(column.name);
        if (value != row.end() && !Fits(column, value->second)) fits = false;
      }
    }
    std::string errors;
    EXPECT_EQ(table.RestructureTable(errors), fits) << errors;
    if (fits) model_ = changed;
  }

  void RandomRestructure() {
    const int which = Pick(6);
    const int column = Pick(static_cast<int>(model_.columns.size()));
    const std::string name = model_.columns[static_cast<size_t>(column)].name;
    switch (which) {
      case 0:  // widen
        Restructure([&](TABSFieldDefs& fields, Model& model) {
          ModelColumn& c = model.columns[static_cast<size_t>(column)];
          if (IsText(c.type)) {
            c.size += 4;
          } else {
            c.type = TABSColumnType::LargeInt;
          }
          fields.Find(name)->SetType(c.type, c.size);
        });
        return;
      case 1:  // narrow: the values may or may not fit
        Restructure([&](TABSFieldDefs& fields, Model& model) {
          ModelColumn& c = model.columns[static_cast<size_t>(column)];
          if (IsText(c.type)) {
            c.size = 1 + Pick(c.size);
          } else {
            c.type = Pick(2) == 0 ? TABSColumnType::SmallInt : TABSColumnType::Integer;
          }
          fields.Find(name)->SetType(c.type, c.size);
        });
        return;
      case 2: {  // add, with or without a default
        const std::string added = "c" + std::to_string(++added_);
        const bool with_default = Pick(2) == 0;
        Restructure([&](TABSFieldDefs& fields, Model& model) {
          auto* field = static_cast<TABSFieldDef*>(fields.AddNew());
          field->SetName(added);
          field->SetType(TABSColumnType::Integer, 0);
          if (with_default) field->DefaultValue().SetInteger(added_);
          const std::optional<std::string> value =
              with_default ? std::optional<std::string>(std::to_string(added_)) : std::nullopt;
          model.columns.push_back({added, TABSColumnType::Integer, 0, value});
          for (auto& [id, row] : model.rows) row[added] = value;
        });
        return;
      }
      case 3:  // drop: refused for the indexed column
        Restructure(
            [&](TABSFieldDefs& fields, Model& model) {
              fields.Delete(fields.IndexOfName(name));
              model.columns.erase(model.columns.begin() + column);
              for (auto& [id, row] : model.rows) row.erase(name);
            },
            name == "x");
        return;
      case 4: {  // rename
        if (name == "x") return;
        const std::string renamed = "n" + std::to_string(++added_);
        Table().RenameField(name, renamed);
        model_.columns[static_cast<size_t>(column)].name = renamed;
        for (auto& [id, row] : model_.rows) {
          row[renamed] = row[name];
          row.erase(name);
        }
        return;
      }
      default:  // a rebuild that changes nothing
        Restructure([](TABSFieldDefs&, Model&) {});
    }
  }

  // The table's rows in the order of an index, as "id:value,value,...".
  std::vector<std::string> Rows(const std::string& table_name, const std::string& index) {
    TABSTable& table = Table(table_name);
    table.SetIndexName(index);
    table.Open();
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      std::string text = table.FieldByName("id").AsString() + ":";
      for (const ModelColumn& column : model_.columns) {
        const TField& field = table.FieldByName(column.name);
        text += (field.IsNull() ? std::string("-") : field.AsString()) + ",";
      }
      rows.push_back(text);
    }
    table.Close();
    return rows;
  }
  std::vector<std::string> ModelRows(bool by_x) const {
    std::vector<std::pair<std::pair<std::optional<int64_t>, int64_t>, std::string>> rows;
    for (const auto& [id, row] : model_.rows) {
      std::string text = std::to_string(id) + ":";
      for (const ModelColumn& column : model_.columns) text += row.at(column.name).value_or("-") + ",";
      const auto& x = row.at("x");
      rows.push_back({{by_x && x ? std::optional<int64_t>(std::stoll(*x)) : std::nullopt, id}, text});
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> texts;
    for (auto& [key, text] : rows) texts.push_back(text);
    return texts;
  }
  void Verify(const std::string& table_name, bool probe_next_id) {
    SCOPED_TRACE(table_name);
    EXPECT_EQ(Rows(table_name, "I_id"), ModelRows(false));
    EXPECT_EQ(Rows(table_name, "I_x"), ModelRows(true));
    if (!probe_next_id) return;
    TABSTable& table = Table(table_name);
    table.Open();
    table.Insert();
    table.Post();
    EXPECT_EQ(table.FieldByName("id").AsLargeInt(), model_.last_id + 1) << "ids of deleted rows never come back";
    table.Delete();
    table.Close();
    ++model_.last_id;
  }

  Model model_;
  std::mt19937 random_;
  int added_ = 0;
};

TEST_P(TableCopyModelTest, RandomRunAgainstTheModel) {
  for (int step = 0; step < 40; ++step) {
    const int operation = Pick(10);
    SCOPED_TRACE("step " + std::to_string(step) + ", operation " + std::to_string(operation));
    switch (operation) {
      case 0: case 1: case 2: Insert(); break;
      case 3: DeleteTop(); break;
      case 4: case 5: case 6: RandomRestructure(); break;
      case 7: {
        std::string errors;
        ASSERT_TRUE(Table().CopyTable("kopie", errors, 100, 0, true, true)) << errors;
        Verify("kopie", false);
        break;
      }
      case 8: {
        TABSTable& source = Table();
        source.Open();
        TABSTable& imported = Table("dovoz");
        std::string errors;
        EXPECT_TRUE(imported.ImportTable(source, errors)) << errors;
        source.Close();
        Verify("dovoz", false);
        break;
      }
      default:
        database_->Close();
        ASSERT_EQ(database_->Compact(), "");
        database_->Open();
    }
    Verify("hraci", step % 5 == 4);
    if (HasFailure()) return;
  }
  database_->Close();
  EXPECT_TRUE(CheckDatabaseCatalogue(database_->DatabaseFileName()).Clean());
}

INSTANTIATE_TEST_SUITE_P(Seeds, TableCopyModelTest, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
}  // namespace kelvorin::testing
