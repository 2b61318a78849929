// The price chart: opened from the list menu's "价格走势", drawn from the real history file,
// redrawn when the history writes, exported as CSV.
#include "app/price_chart_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/app.h"
#include "app/main_window.h"
#include "app/price_charts.h"
#include "app/text_convert.h"
#include "common/date_time.h"
#include "common/numbers.h"
#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

constexpr std::int64_t kHour = 3600 * 1000;
constexpr std::int64_t kDay = 24 * kHour;

class PriceChartTest : public ListCommandsFixture {
 protected:
  PriceChartTest()
      : history_(std::make_shared<PriceHistory>(directory_, nullptr)), charts_(history_) {
    commands_.SetPriceChartOpener([this](const ProductEntry& row) {
      charts_.Open({row.name, row.code, row.country, row.targetPrice});
    });
  }
  ~PriceChartTest() override {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<PriceChartWindow*>(widget)) delete widget;
    }
  }

  void Record(std::int64_t at, const char* code, const char* country, double price) {
    history_->Record({at, code, Ansi(country), price, RealToText(price)});
  }
  // Opens the chart of row `index` through the list menu and waits for its first read.
  PriceChartWindow* OpenFromMenu(int index) {
    Select(index);
    RightClickList(RowCentre(index));
    ChooseMenuItem("价格走势");
    const ProductEntry row = list_->Rows()[index];
    PriceChartWindow* window = charts_.Find(row.code, row.country);
    if (window) {
      EXPECT_TRUE(QTest::qWaitFor([window] { return window->Loaded(); }, 5000));
    }
    return window;
  }
  static QString LabelText(PriceChartWindow* window, const char* name) {
    auto* label = window->findChild<QLabel*>(Q(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(Q(name));
  }
  static bool NoRecordsShown(PriceChartWindow* window) {
    auto* label = window->findChild<QLabel*>(Q("标签暂无价格记录"));
    return label && label->isVisible() && label->text() == Q("暂无价格记录");
  }
  static QString PointText(const char* caption, std::int64_t at, const char* price) {
    return Q(caption) + Q(price) + Q("（") + ToQString(DateTimeText(LocalDateTimeAt(at))) + Q("）");
  }

  std::shared_ptr<PriceHistory> history_;
  PriceCharts charts_;
};

TEST_F(PriceChartTest, TheMenuItemOpensTheChartOfTheSelectedRow) {
  FillThree(*list_);  // 奶粉二: B002, target 20, 日本
  const std::int64_t now = UnixMillisNow();
  Record(now - 3 * kHour, "B002", "日本", 25);
  Record(now - 2 * kHour, "B002", "日本", 18.5);
  Record(now - 1 * kHour, "B002", "日本", 21);
  Record(now - 1 * kHour, "B002", "德国", 1);  // another marketplace: another product
  history_->Flush();

  PriceChartWindow* window = OpenFromMenu(1);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), Q("价格走势 - 奶粉二"));
  EXPECT_EQ(window->Points().size(), 3u);
  EXPECT_FALSE(NoRecordsShown(window));
  EXPECT_EQ(LabelText(window, "标签最低价"), PointText("最低价：", now - 2 * kHour, "18.5"));
  EXPECT_EQ(LabelText(window, "标签最高价"), PointText("最高价：", now - 3 * kHour, "25"));
  EXPECT_EQ(LabelText(window, "标签最新价"), PointText("最新价：", now - 1 * kHour, "21"));

  // The price line and the target line as drawn.
  QList<QPointF> price;
  QList<QPointF> target;
  for (QAbstractSeries* s : window->findChild<QChartView*>(Q("图表价格走势"))->chart()->series()) {
    auto* line = static_cast<QLineSeries*>(s);
    (line->name() == Q("目标价") ? target : price) = line->points();
  }
  ASSERT_EQ(price.size(), 3);
  EXPECT_EQ(price[1], QPointF(static_cast<qreal>(now - 2 * kHour), 18.5));
  ASSERT_EQ(target.size(), 2);
  EXPECT_EQ(target[0].y(), 20);
  EXPECT_EQ(target[1].y(), 20);

  // The same product again raises the open window instead of a second one.
  RightClickList(RowCentre(1));
  ChooseMenuItem("价格走势");
  int charts = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<PriceChartWindow*>(widget) && widget->isVisible()) ++charts;
  }
  EXPECT_EQ(charts, 1);
}

TEST(PriceChartAppTest, TheProgramRecordsIntoTheListFoldersHistoryAndItsMenuShowsIt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  AppOptions options;
  options.useTray = false;
  App app(options);
  const std::string directory = dir.path().toStdString();
  app.Start(directory);
  ASSERT_NE(app.Context()->history, nullptr);
  EXPECT_EQ(app.Context()->history->FilePath(), JoinPath(directory, "价格历史.sqlite"));
  // The second built-in row is 爱他美1, B00D8V0972, 德国.
  const std::int64_t now = UnixMillisNow();
  app.Context()->history->Record({now - kHour, "B00D8V0972", Ansi("德国"), 54.99, "54.99"});
  app.Context()->history->Flush();

  auto* view = app.Window().findChild<QTreeWidget*>(Q("超级列表框监控列表"));
  ASSERT_NE(view, nullptr);
  view->topLevelItem(1)->setSelected(true);
  QAction* item = nullptr;
  for (QAction* action : app.Commands()->ListMenu()->actions()) {
    if (action->text() == Q("价格走势")) item = action;
  }
  ASSERT_NE(item, nullptr);
  item->trigger();
  PriceChartWindow* window = app.Charts()->Find("B00D8V0972", Ansi("德国"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), Q("价格走势 - 爱他美1"));
  EXPECT_TRUE(QTest::qWaitFor([window] { return window->Points().size() == 1; }, 5000));

  // A price recorded while the window is open is drawn without another menu command.
  app.Context()->history->Record({now, "B00D8V0972", Ansi("德国"), 53.5, "53.5"});
  EXPECT_TRUE(QTest::qWaitFor([window] { return window->Points().size() == 2; }, 5000));
  delete window;
}

TEST_F(PriceChartTest, AProductWithoutHistorySaysSo) {
  FillThree(*list_);
  PriceChartWindow* window = OpenFromMenu(0);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(NoRecordsShown(window));
  EXPECT_EQ(LabelText(window, "标签最低价"), Q("最低价："));
  EXPECT_TRUE(window->Data().line.empty());

  // A chart without any history at all (no store) says the same.
  PriceChartWindow bare(nullptr, {Ansi("无"), "X", Ansi("德国"), "1"});
  bare.show();
  EXPECT_TRUE(bare.Loaded());
  EXPECT_TRUE(NoRecordsShown(&bare));
}

TEST_F(PriceChartTest, RangeButtonsChooseThePointsShown) {
  FillThree(*list_);
  const std::int64_t now = UnixMillisNow();
  Record(now - 40 * kDay, "B001", "德国", 5);
  Record(now - 20 * kDay, "B001", "德国", 90);
  Record(now - 3 * kDay, "B001", "德国", 30);
  Record(now - 2 * kHour, "B001", "德国", 50);
  history_->Flush();
  PriceChartWindow* window = OpenFromMenu(0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->Range(), ChartRange::kAll);

  const struct {
    const char* button;
    ChartRange range;
    std::size_t shown;
    QString lowest;
  } cases[] = {
      {"按钮1天", ChartRange::kDay, 1, PointText("最低价：", now - 2 * kHour, "50")},
      {"按钮7天", ChartRange::kWeek, 2, PointText("最低价：", now - 3 * kDay, "30")},
      {"按钮30天", ChartRange::kMonth, 3, PointText("最低价：", now - 3 * kDay, "30")},
      {"按钮全部", ChartRange::kAll, 4, PointText("最低价：", now - 40 * kDay, "5")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    auto* button = window->findChild<QPushButton*>(Q(c.button));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(window->Range(), c.range);
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(window->Data().line.size(), c.shown);
    EXPECT_EQ(LabelText(window, "标签最低价"), c.lowest);
  }
  // A range without points says there are none; the others still hold theirs.
  Record(now - 10 * kDay, "B003", "美国", 7);
  history_->Flush();
  PriceChartWindow* third = OpenFromMenu(2);
  ASSERT_NE(third, nullptr);
  third->findChild<QPushButton*>(Q("按钮7天"))->click();
  EXPECT_TRUE(NoRecordsShown(third));
  third->findChild<QPushButton*>(Q("按钮30天"))->click();
  EXPECT_FALSE(NoRecordsShown(third));
}

TEST_F(PriceChartTest, NewPricesAppearWhileTheWindowIsOpen) {
  FillThree(*list_);
  const std::int64_t now = UnixMillisNow();
  Record(now - kHour, "B001", "德国", 12);
  history_->Flush();
  PriceChartWindow* window = OpenFromMenu(0);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->Points().size(), 1u);

  // Two records in the same millisecond as the last one read, and one later: none lost,
  // none doubled.
  Record(now - kHour, "B001", "德国", 11);
  Record(now, "B001", "德国", 9.5);
  history_->Flush();
  EXPECT_TRUE(QTest::qWaitFor([window] { return window->Points().size() == 3; }, 5000));
  QTest::qWait(50);
  EXPECT_EQ(window->Points().size(), 3u);
  EXPECT_EQ(LabelText(window, "标签最新价"), PointText("最新价：", now, "9.5"));
  EXPECT_EQ(LabelText(window, "标签最低价"), PointText("最低价：", now, "9.5"));
}

TEST_F(PriceChartTest, ExportWritesTheWholeHistoryAsCsvToThePickedFile) {
  FillThree(*list_);
  const std::int64_t now = UnixMillisNow();
  Record(now - 40 * kDay, "B001", "德国", 5);
  Record(now - kHour, "B001", "德国", 12.25);
  history_->Flush();
  PriceChartWindow* window = OpenFromMenu(0);
  ASSERT_NE(window, nullptr);
  window->findChild<QPushButton*>(Q("按钮1天"))->click();  // the range does not limit the file

  const std::string path = PathIn("history.csv");
  FileDialogSeen dialog;
  BoxSeen done;
  watcher_.Expect(ChooseFile(QString::fromStdString(AnsiToUtf8(path)), &dialog));
  watcher_.Expect(Press(QMessageBox::Ok, &done));
  window->findChild<QPushButton*>(Q("按钮导出CSV"))->click();
  EXPECT_TRUE(dialog.nonNative);
  EXPECT_EQ(dialog.acceptMode, QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.fileName, Q("价格走势.csv"));
  EXPECT_EQ(done.title, Q("信息："));
  EXPECT_EQ(done.text, Q("导出成功！"));
  const std::string expected = "\xEF\xBB\xBF" + std::string("时间,价格\r\n") +
                               AnsiToUtf8(DateTimeText(LocalDateTimeAt(now - 40 * kDay))) +
                               ",5\r\n" + AnsiToUtf8(DateTimeText(LocalDateTimeAt(now - kHour))) +
                               ",12.25\r\n";
  EXPECT_EQ(ReadFileBytes(path), expected);

  // A place that cannot be written: said so, and nothing is left there.
  const std::string bad = "/proc/korvelin-history.csv";
  BoxSeen failed;
  watcher_.Expect(ChooseFile(QString::fromStdString(AnsiToUtf8(bad)), &dialog));
  watcher_.Expect(Press(QMessageBox::Ok, &failed));
  window->findChild<QPushButton*>(Q("按钮导出CSV"))->click();
  EXPECT_EQ(failed.text, Q("导出失败！"));
  EXPECT_FALSE(FileExists(bad));
  EXPECT_EQ(watcher_.Unexpected(), 0);
}

}  // namespace
}  // namespace korvelin::testing
