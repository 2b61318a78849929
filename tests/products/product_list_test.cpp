#include "products/product_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace korvelin {
namespace {

ProductEntry Entry(const std::string& name) {
  ProductEntry entry;
  entry.name = name;
  entry.code = "C" + name;
  entry.targetPrice = "60";
  entry.country = "DE";
  return entry;
}

// Records every notification; while handling one it reads the list back, which would
// block forever if the list still held its lock.
class RecordingListener : public ProductListListener {
 public:
  explicit RecordingListener(const ProductList& list) : list_(list) {}
  void RowsReset() override { events.push_back("reset " + std::to_string(list_.Count())); }
  void RowInserted(int index, RowId id) override {
    events.push_back("insert " + std::to_string(index) + " " + list_.RowById(id)->name);
  }
  void RowRemoved(int index, RowId id) override {
    events.push_back("remove " + std::to_string(index) + " " + std::to_string(list_.IndexOf(id)));
  }
  void CellChanged(RowId id, int column, const std::string& text) override {
    events.push_back("cell " + std::to_string(list_.IndexOf(id)) + " " + std::to_string(column) +
                     " " + text + " " + list_.RowById(id)->Cell(column));
  }
  void MonitoredChanged(RowId id, bool monitored) override {
    events.push_back("check " + std::to_string(list_.IndexOf(id)) + " " + (monitored ? "1" : "0"));
  }
  std::vector<std::string> events;

 private:
  const ProductList& list_;
};

TEST(ProductEntryTest, CellsFollowTheColumnOrder) {
  ProductEntry entry{"1", "name", "code", "price", "target", "country", "mark", false};
  const std::vector<std::string> expected = {"1",      "name",    "code", "price",
                                             "target", "country", "mark"};
  for (int column = 0; column < kColumnCount; ++column) {
    EXPECT_EQ(entry.Cell(column), expected[column]) << column;
  }
  entry.Cell(kCurrentPriceColumn) = "54.99";
  EXPECT_EQ(entry.currentPrice, "54.99");
  EXPECT_EQ(entry.Cell(7), "");
  EXPECT_EQ(entry.Cell(-1), "");
}

TEST(ProductListTest, DeletingShiftsPositionsButIdsStay) {
  ProductList list;
  const RowId a = list.Append(Entry("a"));
  const RowId b = list.Append(Entry("b"));
  const RowId c = list.Append(Entry("c"));
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_EQ(list.Ids(), (std::vector<RowId>{a, b, c}));

  ASSERT_TRUE(list.RemoveAt(0));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(a), -1);
  EXPECT_EQ(list.IndexOf(b), 0);
  EXPECT_EQ(list.IndexOf(c), 1);
  EXPECT_EQ(list.IdAt(1), c);
  EXPECT_EQ(list.IdAt(2), 0u);
  EXPECT_EQ(list.IdAt(-1), 0u);
  EXPECT_EQ(list.Row(1)->name, "c");
  EXPECT_FALSE(list.Row(2).has_value());
  EXPECT_FALSE(list.RowById(a).has_value());
  EXPECT_FALSE(list.RemoveAt(2));

  // A check that still holds the id of row b writes to b, now at position 0.
  EXPECT_TRUE(list.SetCell(b, kCurrentPriceColumn, "12.5"));
  EXPECT_EQ(list.Row(0)->currentPrice, "12.5");
}

TEST(ProductListTest, WritesToARemovedRowAreIgnoredAndTouchNoOtherRow) {
  ProductList list;
  const RowId a = list.Append(Entry("a"));
  list.Append(Entry("b"));
  const std::vector<ProductEntry> before = list.Rows();
  const RowId c = list.Append(Entry("c"));
  ASSERT_TRUE(list.RemoveAt(2));

  EXPECT_FALSE(list.SetCell(c, kCurrentPriceColumn, "1"));
  EXPECT_FALSE(list.SetCell(c, kDropMarkColumn, "x"));
  EXPECT_FALSE(list.SetMonitored(c, true));
  EXPECT_FALSE(list.SetCell(0, kNameColumn, "zero"));
  EXPECT_FALSE(list.SetCell(a, kColumnCount, "bad column"));
  EXPECT_EQ(list.Rows(), before);

  // A new row never gets the id of a removed one, so the stale id stays dead.
  const RowId d = list.Append(Entry("d"));
  EXPECT_NE(d, c);
  EXPECT_FALSE(list.SetCell(c, kNameColumn, "stale"));
  EXPECT_EQ(list.Row(2)->name, "d");
}

TEST(ProductListTest, ReplaceAndClearGiveFreshIds) {
  ProductList list;
  const RowId a = list.Append(Entry("a"));
  list.Replace({Entry("x"), Entry("y")});
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(a), -1);
  const std::vector<RowId> ids = list.Ids();
  EXPECT_NE(ids[0], a);
  EXPECT_NE(ids[1], a);
  EXPECT_FALSE(list.SetCell(a, kNameColumn, "gone"));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.Rows().empty());
  EXPECT_EQ(list.IndexOf(ids[0]), -1);
}

TEST(ProductListTest, CheckBoxCommands) {
  ProductList list;
  std::vector<RowId> ids;
  for (const char* name : {"1", "2", "3", "4"}) ids.push_back(list.Append(Entry(name)));
  list.SetMonitored(ids[0], true);
  list.SetMonitored(ids[2], true);
  list.InvertMonitored();
  EXPECT_EQ(list.MonitoredIds(), (std::vector<RowId>{ids[1], ids[3]}));
  list.SetAllMonitored(true);
  EXPECT_EQ(list.MonitoredIds(), ids);
  list.SetAllMonitored(false);
  EXPECT_TRUE(list.MonitoredIds().empty());
}

TEST(ProductListTest, ListenerHearsEachChangeAfterItHappened) {
  ProductList list;
  RecordingListener listener(list);
  list.SetListener(&listener);

  const RowId a = list.Append(Entry("a"));
  const RowId b = list.Append(Entry("b"));
  list.SetCell(b, kCurrentPriceColumn, "9.5");
  list.SetCell(b, kCurrentPriceColumn, "9.5");  // no change, no event
  list.SetMonitored(a, true);
  list.SetMonitored(a, true);  // no change, no event
  list.InvertMonitored();
  list.SetAllMonitored(true);  // only row a changes back
  list.RemoveAt(0);
  list.SetCell(a, kDropMarkColumn, "x");  // removed row: no event
  list.Replace({Entry("x"), Entry("y"), Entry("z")});
  list.Clear();

  EXPECT_EQ(listener.events, (std::vector<std::string>{
                                 "insert 0 a",
                                 "insert 1 b",
                                 "cell 1 3 9.5 9.5",
                                 "check 0 1",
                                 "check 0 0",
                                 "check 1 1",
                                 "check 0 1",
                                 "remove 0 -1",
                                 "reset 3",
                                 "reset 0",
                             }));

  list.SetListener(nullptr);
  list.Append(Entry("quiet"));
  EXPECT_EQ(listener.events.size(), 10u);
}

// Lookups by identity go through an index of positions; after any mix of appends,
// deletes, clears and reloads it agrees with the rows themselves.
TEST(ProductListTest, LookupsByIdentityFollowEveryChange) {
  ProductList list;
  std::vector<RowId> everId;  // every id handed out, gone ones included
  std::mt19937 random(13);
  int name = 0;
  for (int step = 0; step < 3000; ++step) {
    const unsigned action = random() % 100;
    if (action < 55) {
      everId.push_back(list.Append(Entry(std::to_string(name++))));
    } else if (action < 93) {
      if (list.Count() > 0) list.RemoveAt(static_cast<int>(random() % list.Count()));
    } else if (action < 96) {
      std::vector<ProductEntry> rows;
      for (unsigned k = random() % 30; k > 0; --k) rows.push_back(Entry(std::to_string(name++)));
      list.Replace(std::move(rows));
      for (const RowId id : list.Ids()) everId.push_back(id);
    } else if (action < 97) {
      list.Clear();
    } else if (list.Count() > 0) {
      const RowId id = list.IdAt(static_cast<int>(random() % list.Count()));
      list.SetMonitored(id, true);
      list.SetCell(id, kCurrentPriceColumn, "9.99");
    }
    if (step % 50 != 0) continue;
    const std::vector<RowId> ids = list.Ids();
    const std::vector<ProductEntry> rows = list.Rows();
    for (const RowId id : everId) {
      const auto at = std::find(ids.begin(), ids.end(), id);
      const int expected = at == ids.end() ? -1 : static_cast<int>(at - ids.begin());
      ASSERT_EQ(list.IndexOf(id), expected) << "step " << step << " id " << id;
      const std::optional<ProductEntry> row = list.RowById(id);
      ASSERT_EQ(row.has_value(), expected >= 0);
      if (row) {
        ASSERT_EQ(*row, rows[static_cast<std::size_t>(expected)]);
      }
      // A write to a row that is gone changes nothing.
      if (expected < 0) {
        ASSERT_FALSE(list.SetCell(id, kDropMarkColumn, "x"));
      }
    }
  }
}

TEST(ProductListTest, ChecksWriteTheirOwnRowsWhileRowsAreDeleted) {
  ProductList list;
  std::vector<RowId> ids;
  for (int i = 0; i < 40; ++i) ids.push_back(list.Append(Entry(std::to_string(i))));

  std::vector<std::thread> checks;
  for (int t = 0; t < 4; ++t) {
    checks.emplace_back([&list, &ids, t] {
      for (int round = 0; round < 50; ++round) {
        for (std::size_t i = t; i < ids.size(); i += 4) {
          if (auto row = list.RowById(ids[i])) {
            list.SetCell(ids[i], kCurrentPriceColumn, row->name);
          }
        }
      }
    });
  }
  for (int i = 0; i < 20; ++i) list.RemoveAt(i);  // every second row goes
  for (std::thread& check : checks) check.join();

  ASSERT_EQ(list.Count(), 20);
  for (const RowId id : list.Ids()) {
    SCOPED_TRACE(id);
    const ProductEntry row = *list.RowById(id);
    EXPECT_EQ(row.name, std::to_string(2 * list.IndexOf(id) + 1));
    // Every write a check made landed on the row it read, never on a neighbour.
    EXPECT_TRUE(row.currentPrice.empty() || row.currentPrice == row.name) << row.currentPrice;
  }
}

}  // namespace
}  // namespace korvelin
