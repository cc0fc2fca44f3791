// Auto-increment numbering, session sequence values and default values.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <optional>

#include "db/storage/file/little_endian.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/tables/records/record_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;
using testing::FieldOf;
using testing::FieldsFixture;
using C = TABSColumnType;

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct Settings {
  int64_t increment = 1;
  int64_t initial = 0;
  int64_t minimum = 0;
  int64_t maximum = kMax;
  bool cycle = false;
};

// One post: an explicit value, or none to have one generated; what the
// field then holds (or the error raised) and the counter afterwards.
struct Post {
  std::optional<int64_t> explicit_value;
  int64_t stored;
  int64_t counter;
  int32_t error = 0;
};

struct Case {
  const char* name;
  C type;
  Settings settings;
  std::vector<Post> posts;
};

int64_t ReadField(const FieldsFixture& t, int32_t field) {
  const TABSFieldSlot& slot = t.Fields().Field(field);
  TABSVariant value;
  GetFieldValue(t.Fields(), field, value, t.record.data());
  (void)slot;
  return value.AsLargeInt();
}

TEST(AutoIncTest, NumberingTable) {
  const std::vector<Case> cases = {
      {"explicit values move the counter only upwards",
       C::AutoInc,
       {},
       {{{}, 1, 1}, {100, 100, 100}, {{}, 101, 101}, {50, 50, 101}, {{}, 102, 102}}},
      {"a negative explicit value is sign-extended", C::AutoInc, {}, {{-5, -5, 0}, {{}, 1, 1}}},
      {"the largest LARGEINT ends the numbering",
       C::AutoIncLargeInt,
       {},
       {{kMax, kMax, kMax}, {{}, 0, kMax, 20160}}},
      {"AUTOINCBYTE stops after 255", C::AutoIncByte, {1, 254}, {{{}, 255, 255}, {{}, 0, 255, 20160}}},
      {"AUTOINCSHORTINT stops after 127", C::AutoIncShortInt, {1, 126}, {{{}, 127, 127}, {{}, 0, 127, 20160}}},
      {"a maximum of its own", C::AutoInc, {1, 0, 0, 2}, {{{}, 1, 1}, {{}, 2, 2}, {{}, 0, 2, 20160}}},
      {"a negative increment counts down and follows lower explicit values",
       C::AutoInc,
       {-1, 10},
       {{{}, 9, 9}, {100, 100, 9}, {3, 3, 3}, {{}, 2, 2}}},
      {"a negative increment stops at the type's minimum", C::AutoIncWord, {-2, 1}, {{{}, 0, 1, 20160}}},
      {"cycling starts again from the minimum",
       C::AutoIncByte,
       {1, 0, 1, 3, true},
       {{{}, 1, 1}, {{}, 2, 2}, {{}, 3, 3}, {{}, 1, 1}}},
      {"cycling at the type's maximum", C::AutoIncShortInt, {1, 126, -5, 0, true}, {{{}, 127, 127}, {{}, -5, -5}}},
      {"cycling down starts again from the maximum", C::AutoIncByte, {-1, 1, 0, 9, true}, {{{}, 0, 0}, {{}, 9, 9}}},
      {"an increment of 0 counts by 1", C::AutoIncCardinal, {0, 4294967294}, {{{}, 4294967295, 4294967295}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TABSDatasetFieldDef field = FieldOf("n", c.type);
    field.autoinc_increment = c.settings.increment;
    field.autoinc_initial = c.settings.initial;
    field.autoinc_minimum = c.settings.minimum;
    field.autoinc_maximum = c.settings.maximum;
    field.autoinc_cycle = c.settings.cycle;
    FieldsFixture t({FieldOf("x", C::Integer), field});
    TABSBaseSession session;
    for (const Post& post : c.posts) {
      t.manager->RecordFields().InitRecord(t.record.data());
      if (post.explicit_value) {
        TABSVariant value;
        value.SetLargeInt(*post.explicit_value);
        t.manager->SetFieldValue(1, value, t.record.data());
      }
      if (post.error != 0) {
        EXPECT_EQ(ErrorCode([&] { t.manager->AssignAutoIncValues(session, t.record.data()); }), post.error);
        EXPECT_TRUE(TABSRecordFields::IsNull(t.record.data(), 1));
      } else {
        const std::vector<int32_t> filled = t.manager->AssignAutoIncValues(session, t.record.data());
        EXPECT_EQ(filled.size(), post.explicit_value ? 0u : 1u);
        EXPECT_EQ(ReadField(t, 1), post.stored);
      }
      EXPECT_EQ(t.values[1], post.counter);
    }
  }
}

TEST(AutoIncTest, OverflowNamesTheField) {
  TABSDatasetFieldDef field = FieldOf("Cislo", C::AutoIncByte);
  field.autoinc_initial = 255;
  FieldsFixture t({field});
  EXPECT_EQ(ErrorOf([&] { t.manager->NextAutoIncValue(0); }),
            "Autoinc max value exceeded for field 'Cislo' - Native error: 20160");
}

TEST(AutoIncTest, SessionSequenceValues) {
  FieldsFixture t({FieldOf("Jmeno", C::String, 20), FieldOf("id", C::AutoInc)});
  TABSBaseSession session, other;
  EXPECT_EQ(ErrorOf([&] { t.manager->LastSessionSequenceValue(session, 1); }),
            "No SequenceLastValue in session for sequence 'id'. Call GetNextVal first - Native error: 30012");
  EXPECT_EQ(t.manager->NextSessionSequenceValue(session, 1), 1);
  EXPECT_EQ(t.manager->NextSessionSequenceValue(other, 1), 2);
  EXPECT_EQ(t.manager->LastSessionSequenceValue(session, 1), 1);
  TABSVariant value;
  value.SetInteger(40);
  t.manager->SetFieldValue(1, value, t.record.data());
  t.manager->AssignAutoIncValues(session, t.record.data());
  EXPECT_EQ(t.manager->LastSessionSequenceValue(session, 1), 40);
  EXPECT_EQ(t.manager->LastSessionSequenceValue(other, 1), 2);

  EXPECT_EQ(ErrorOf([&] { t.manager->NextAutoIncValue(2); }), "Field #2 not found - Native error: 30402");
  t.values.resize(1);
  EXPECT_EQ(ErrorCode([&] { t.manager->NextAutoIncValue(1); }), 30403);
}

TEST(AutoIncTest, NamedSequencesAreKeyedByNameWithoutCase) {
  TABSBaseSession session;
  session.StoreSequenceValue(-1, "Poradi", 5);
  session.StoreSequenceValue(-1, "PORADI", 6);
  session.StoreSequenceValue(7, "", 1);
  session.StoreSequenceValue(7, "", 2);
  EXPECT_EQ(session.FindSequenceValueByName("poradi")->value, 6);
  EXPECT_EQ(session.FindSequenceValue(7)->value, 2);
  EXPECT_EQ(session.FindSequenceValue(8), nullptr);
}

// A default is converted to its field's type and written within the field;
// one that does not convert or fit is an error, never an overrun.
TEST(DefaultValuesTest, DefaultsAreConvertedAndKeptWithinTheirField) {
  TABSDatasetFieldDef number = FieldOf("n", C::Integer);
  number.default_value.SetFloat(3.7);
  TABSDatasetFieldDef text = FieldOf("s", C::String, 3);
  text.default_value.SetString("abc");
  TABSDatasetFieldDef blob = FieldOf("b", C::Blob);
  blob.default_value.SetString("ignored");
  FieldsFixture t({number, FieldOf("guard", C::Integer), text, blob});
  TABSBaseSession session;
  t.manager->InitRecord(session, t.record.data(), true);
  TABSVariant value;
  t.manager->GetFieldValue(0, value, t.record.data());
  EXPECT_EQ(value.AsInteger(), 3);
  EXPECT_TRUE(TABSRecordFields::IsNull(t.record.data(), 1));
  EXPECT_EQ(LoadLE<int32_t>(t.Fields().Slot(t.record.data(), 1)), 0) << "the next field stays untouched";
  t.manager->GetFieldValue(2, value, t.record.data());
  EXPECT_EQ(value.AsString(), "abc");
  EXPECT_TRUE(TABSRecordFields::IsNull(t.record.data(), 3)) << "BLOB-like fields take no default";
  TABSBaseFieldManager::CheckDefaults(t.metadata.Fields());

  struct Bad {
    TABSColumnType type;
    int32_t size;
    const char* default_text;
    int32_t error;
  } bad[] = {{C::String, 3, "abcd", 20056}, {C::Integer, 0, "x", 30051}, {C::Byte, 0, "300", 30051}};
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.default_text);
    TABSDatasetFieldDef field = FieldOf("d", b.type, b.size);
    field.default_value.SetString(b.default_text);
    FieldsFixture f({field, FieldOf("guard", C::Integer)});
    EXPECT_EQ(ErrorCode([&] { TABSBaseFieldManager::CheckDefaults(f.metadata.Fields()); }), b.error);
    EXPECT_EQ(ErrorCode([&] { f.manager->InitRecord(session, f.record.data(), true); }), b.error);
    EXPECT_TRUE(TABSRecordFields::IsNull(f.record.data(), 0));
    EXPECT_EQ(LoadLE<int32_t>(f.Fields().Slot(f.record.data(), 1)), 0);
  }
}

}  // namespace
}  // namespace kelvorin
