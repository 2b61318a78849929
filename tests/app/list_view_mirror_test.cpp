// The list view follows the product list: columns and headers, rows inserted and removed on
// the UI thread, cell writes from check threads, and the user's ticks written back.
#include "app/list_view_mirror.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>
#include <thread>

#include "app/text_convert.h"
#include "common/code_page.h"

namespace korvelin {
namespace {

ProductEntry Entry(const char* number, const char* name) {
  ProductEntry entry;
  entry.number = number;
  entry.name = Ansi(name);
  entry.code = "B00D8V0972";
  entry.targetPrice = "60";
  entry.country = Ansi("德国");
  return entry;
}

class ListViewMirrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view = CreateProductListView(&host);
    bridge = std::make_shared<UiBridge>(&host);
    products = std::make_shared<ProductList>();
    mirror = std::make_unique<ListViewMirror>(bridge, products, view);
    products->SetListener(mirror.get());
  }
  void TearDown() override {
    mirror.reset();
    bridge->Close();
  }

  QWidget host;
  QTreeWidget* view = nullptr;
  std::shared_ptr<UiBridge> bridge;
  std::shared_ptr<ProductList> products;
  std::unique_ptr<ListViewMirror> mirror;
};

TEST_F(ListViewMirrorTest, HasTheSevenColumnsAndTheirLook) {
  EXPECT_EQ(view->objectName(), QString::fromUtf8("超级列表框监控列表"));
  const char* headers[] = {"", "名称", "编码", "当前价格", "设定价格", "国家", "降价"};
  const int widths[] = {48, 108, 108, 68, 68, 50, 38};
  ASSERT_EQ(view->columnCount(), 7);
  for (int c = 0; c < 7; ++c) {
    EXPECT_EQ(view->headerItem()->text(c), QString::fromUtf8(headers[c])) << c;
    EXPECT_EQ(view->columnWidth(c), widths[c]) << c;
  }
  EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(view->isSortingEnabled());
  EXPECT_FALSE(view->rootIsDecorated());
}

TEST_F(ListViewMirrorTest, RowsFollowInsertRemoveAndReplace) {
  const RowId a = products->Append(Entry("1", "爱他美1"));
  products->Append(Entry("2", "牛奶"));
  ASSERT_EQ(view->topLevelItemCount(), 2);
  QTreeWidgetItem* item = view->topLevelItem(0);
  EXPECT_EQ(item->text(1), QString::fromUtf8("爱他美1"));
  EXPECT_EQ(item->text(5), QString::fromUtf8("德国"));
  EXPECT_EQ(item->checkState(0), Qt::Unchecked);
  EXPECT_EQ(item->data(0, Qt::UserRole).toULongLong(), a);
  EXPECT_TRUE(item->flags() & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);

  products->RemoveAt(0);
  ASSERT_EQ(view->topLevelItemCount(), 1);
  EXPECT_EQ(view->topLevelItem(0)->text(1), QString::fromUtf8("牛奶"));

  products->Replace({Entry("1", "甲"), Entry("2", "乙"), Entry("3", "丙")});
  ASSERT_EQ(view->topLevelItemCount(), 3);
  EXPECT_EQ(view->topLevelItem(2)->text(1), QString::fromUtf8("丙"));
  products->Clear();
  EXPECT_EQ(view->topLevelItemCount(), 0);
}

TEST_F(ListViewMirrorTest, CellWritesFromWorkersArriveOnTheUiThread) {
  products->Append(Entry("1", "甲"));
  const RowId b = products->Append(Entry("2", "乙"));
  std::thread([&] {
    products->SetCell(b, kCurrentPriceColumn, "54.99");
    products->SetCell(b, kDropMarkColumn, Ansi("√"));
  }).join();
  QTreeWidgetItem* item = view->topLevelItem(1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return item->text(6) == QString::fromUtf8("√"); }, 5000));
  EXPECT_EQ(item->text(3), QString::fromUtf8("54.99"));
  EXPECT_EQ(view->topLevelItem(0)->text(3), QString());
}

TEST_F(ListViewMirrorTest, AWriteForARemovedRowChangesNothing) {
  const RowId a = products->Append(Entry("1", "甲"));
  products->Append(Entry("2", "乙"));
  // The worker's write is queued; the row goes before the UI thread gets to it.
  std::thread([&] { products->SetCell(a, kCurrentPriceColumn, "1.00"); }).join();
  products->RemoveAt(0);
  QCoreApplication::processEvents();
  ASSERT_EQ(view->topLevelItemCount(), 1);
  EXPECT_EQ(view->topLevelItem(0)->text(1), QString::fromUtf8("乙"));
  EXPECT_EQ(view->topLevelItem(0)->text(3), QString());
  EXPECT_EQ(mirror->ItemFor(a), nullptr);
}

TEST_F(ListViewMirrorTest, TicksGoBothWays) {
  products->Append(Entry("1", "甲"));
  const RowId b = products->Append(Entry("2", "乙"));
  // The user ticks the second row's check box.
  view->topLevelItem(1)->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(products->RowById(b)->monitored);
  EXPECT_EQ(products->MonitoredIds(), std::vector<RowId>{b});
  // A list command inverts the ticks.
  products->InvertMonitored();
  EXPECT_EQ(view->topLevelItem(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(view->topLevelItem(1)->checkState(0), Qt::Unchecked);
}

}  // namespace
}  // namespace korvelin
