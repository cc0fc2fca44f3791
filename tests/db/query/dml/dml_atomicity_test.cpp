// Every data statement is whole or nothing: a statement that fails at its
// 500th row of 1000 (a unique key, NOT NULL, a value out of range, an
// injected page failure, a memory limit, a failed write) leaves the rows,
// the indexes, the counts and the auto-increment counter as they were, in
// a transaction or not, on a disk or a memory table; a transaction goes on
// after it.
#include <gtest/gtest.h>

#include <functional>
#include <new>

#include "tests/db/query/dml/dml_test_support.h"
#include "tests/db/storage/page_faults.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin::testing {
namespace {

enum class Fault { kNone, kPage, kMemory, kWrite };

struct FailingCase {
  std::string name;
  std::string statement;  // $ stands for the table
  Fault fault = Fault::kNone;
};

class AtomicityTest : public DMLTest, public ::testing::WithParamInterface<std::tuple<bool, bool>> {
 protected:
  bool Memory() const { return std::get<0>(GetParam()); }
  bool InTransaction() const { return std::get<1>(GetParam()); }
  std::string Table() const { return Memory() ? "MEMORY t" : "t"; }

  // The memory database outlives the test.
  void TearDown() override {
    if (Memory()) CodeOf("DROP TABLE " + Table());
    DMLTest::TearDown();
  }

  // 1000 rows: u = id except that the last row holds 1500 (so u + 1000
  // clashes at the 500th), n = id except NULL in the 500th, w = id.
  void Fill() {
    Run("CREATE TABLE " + Table() +
        " (id AUTOINC, u INTEGER NOT NULL, v INTEGER NOT NULL, n INTEGER, w SMALLINT, s VARCHAR(12), "
        "PRIMARY KEY (id), UNIQUE INDEX iu (u), INDEX iw (w))");
    Exec("START TRANSACTION");
    for (int i = 1; i <= 1000; ++i) {
      const std::string id = std::to_string(i);
      Exec("INSERT INTO " + Table() + " (u, v, n, w, s) VALUES (" + (i == 1000 ? "1500" : id) + ", " + id + ", " +
           (i == 500 ? "NULL" : id) + ", " + id + ", 'r" + id + "')");
    }
    Exec("COMMIT");
  }

  // Names the first line that differs (a table's state is long).
  static void ExpectSame(const std::string& after, const std::string& before) {
    if (after == before) return;
    size_t at = 0;
    while (at < after.size() && at < before.size() && after[at] == before[at]) ++at;
    const size_t line = before.rfind('\n', at) == std::string::npos ? 0 : before.rfind('\n', at) + 1;
    ADD_FAILURE() << "changed from: " << before.substr(line, 80) << "\nto: " << after.substr(line, 80);
  }

  std::string Replace(std::string text) const {
    for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$')) text.replace(at, 1, Table());
    return text;
  }

  // Runs the statement under the fault; the error's code (0: none).
  int32_t RunFailing(const FailingCase& c) {
    const std::string text = Replace(c.statement);
    switch (c.fault) {
      case Fault::kNone:
        return CodeOf(text);
      case Fault::kPage: {
        PageFaults faults(1500);
        return CodeOf(text);
      }
      case Fault::kMemory: {
        struct Limit {
          Limit() { MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + 4 * 1024); }
          ~Limit() { MemoryManager().SetMemoryLimit(0); }
        } limit;
        return CodeOf(text);
      }
      case Fault::kWrite: {
        WriteFaults faults(Path());
        faults.fail_at = 1;
        return CodeOf(text);
      }
    }
    return 0;
  }
};

TEST_P(AtomicityTest, AFailedStatementChangesNothing) {
  Fill();
  const std::vector<FailingCase> cases = {
      {"unique key", "UPDATE $ SET u = u + 1000"},
      {"unique key by index", "UPDATE $ SET u = u + 1000 WHERE w > 0"},
      {"not null", "UPDATE $ SET v = n"},
      {"out of range", "UPDATE $ SET w = w * 60"},
      {"over-long text", "UPDATE $ SET s = s || 'xxxxxxxx'"},
      {"insert select unique key", "INSERT INTO $ (u, v) SELECT u + 1000, v FROM $"},
      {"insert select not null", "INSERT INTO $ (u, v) SELECT u + 5000, n FROM $"},
      {"update page failure", "UPDATE $ SET w = w + 1", Fault::kPage},
      {"delete page failure", "DELETE FROM $ WHERE v > 0", Fault::kPage},
      {"insert select page failure", "INSERT INTO $ (u, v) SELECT u + 5000, v FROM $", Fault::kPage},
      {"update memory limit", "UPDATE $ SET s = 'abcdefghijkl'", Fault::kMemory},
      {"insert select memory limit", "INSERT INTO $ (u, v) SELECT u + 5000, v FROM $", Fault::kMemory},
      {"update write failure", "UPDATE $ SET v = v + 1", Fault::kWrite},
      {"delete write failure", "DELETE FROM $", Fault::kWrite},
  };
  for (const FailingCase& c : cases) {
    SCOPED_TRACE(c.name);
    // A write fails only when something is written: at the commit outside
    // a transaction, never on a memory table.
    if (c.fault == Fault::kWrite && (Memory() || InTransaction())) continue;
    if (InTransaction()) Exec("START TRANSACTION; UPDATE " + Table() + " SET s = 'x' WHERE id = 1");
    const std::string before = State(Table());
    const int32_t code = RunFailing(c);
    EXPECT_NE(code, 0);
    // A refusal inside a container is the engine's memory error too.
    if (c.fault == Fault::kMemory) {
      EXPECT_EQ(code, 30004);
    }
    ExpectSame(State(Table()), before);
    if (InTransaction()) {
      EXPECT_TRUE(session_->InTransaction());
      EXPECT_EQ(Exec("UPDATE " + Table() + " SET s = 'y' WHERE id = 2"), 1);
      Exec("ROLLBACK");
    }
  }
  // The counter goes on from where it stood.
  Exec(Replace("INSERT INTO $ (u, v) VALUES (-1, -1)"));
  EXPECT_EQ(Rows(Replace("SELECT id FROM $ WHERE u = -1")), (std::vector<std::string>{"1001"}));
  if (!Memory()) {
    session_->Disconnect();
    ExpectFileClean();
  }
}

INSTANTIATE_TEST_SUITE_P(TablesAndTransactions, AtomicityTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Memory" : "Disk") +
                                  (std::get<1>(info.param) ? "InTransaction" : "Alone");
                         });

}  // namespace
}  // namespace kelvorin::testing
