#include "app/list_commands.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

using ListCommandsTest = ListCommandsFixture;

std::vector<std::string> Numbers(const ProductList& list) {
  std::vector<std::string> numbers;
  for (const ProductEntry& row : list.Rows()) numbers.push_back(row.number);
  return numbers;
}

std::vector<bool> Checks(const ProductList& list) {
  std::vector<bool> checks;
  for (const ProductEntry& row : list.Rows()) checks.push_back(row.monitored);
  return checks;
}

TEST_F(ListCommandsTest, ImportLoadsPickedFileSkippingBlankLinesAndExtraFields) {
  list_->Replace({Entry("1", "旧的", "OLD1", "1", "德国")});
  const std::string file = PathIn("import.txt");
  ASSERT_TRUE(WriteFileBytes(file, Ansi("  奶粉A----B00A----60----日本----多余----字段\r\n"
                                        "\r\n\r\n"
                                        "短行\r\n"
                                        "奶粉B----B00B----7----荷兰\r\n  ")));

  const FileDialogSeen dialog = ImportThroughDialog(file);

  EXPECT_EQ(watcher_.Handled(), 1);
  EXPECT_FALSE(dialog.nonNative);  // the desktop's own dialog where it has one
  EXPECT_EQ(dialog.acceptMode, QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog.directory, QString::fromStdString(directory_));
  EXPECT_EQ(dialog.nameFilters, QStringList{Q("文本文件 (*.txt)")});
  const std::vector<ProductEntry> rows = list_->Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Entry("1", "奶粉A", "B00A", "60", "日本"));
  EXPECT_EQ(rows[1], Entry("2", "奶粉B", "B00B", "7", "荷兰"));
  ASSERT_EQ(View().topLevelItemCount(), 2);
  EXPECT_EQ(Item(1)->text(kNameColumn), Q("奶粉B"));
  EXPECT_EQ(ListFile(), Ansi("奶粉A----B00A----60----日本\r\n奶粉B----B00B----7----荷兰\r\n"));
}

TEST_F(ListCommandsTest, CancelledImportSavesTheListUnchanged) {
  FillThree(*list_);
  const std::vector<ProductEntry> before = list_->Rows();

  ImportThroughDialog("");

  EXPECT_EQ(watcher_.Handled(), 1);
  EXPECT_EQ(list_->Rows(), before);
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉二----B002----20----日本\r\n"
                             "奶粉三----B003----30----美国\r\n"));
}

TEST_F(ListCommandsTest, ExportWritesTheListTextAndOffersToOpenIt) {
  struct Case {
    bool empty;
    QMessageBox::StandardButton answer;
  };
  for (const Case& c : {Case{false, QMessageBox::Yes}, Case{false, QMessageBox::No},
                        Case{true, QMessageBox::Yes}}) {
    SCOPED_TRACE(c.empty ? "empty list" : (c.answer == QMessageBox::Yes ? "yes" : "no"));
    if (c.empty) {
      list_->Clear();
    } else {
      FillThree(*list_);
      // Check state, current price and drop mark are not part of the list text.
      list_->SetMonitored(list_->IdAt(0), true);
      list_->SetCell(list_->IdAt(1), kCurrentPriceColumn, "18.5");
      list_->SetCell(list_->IdAt(1), kDropMarkColumn, Ansi("√"));
    }
    desktop_.Clear();
    const std::string target = PathIn(c.empty                        ? "empty.txt"
                                      : c.answer == QMessageBox::Yes ? "yes.txt"
                                                                     : "no.txt");
    FileDialogSeen dialog;
    BoxSeen question;
    watcher_.Expect(ChooseFile(QString::fromStdString(target), &dialog));
    watcher_.Expect(Press(c.answer, &question));

    Click("按钮导出产品列表");

    EXPECT_FALSE(dialog.nonNative);  // the desktop's own dialog where it has one
    EXPECT_EQ(dialog.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.directory, QString::fromStdString(directory_));
    EXPECT_EQ(dialog.fileName, Q("监控列表.txt"));
    EXPECT_EQ(dialog.nameFilters, QStringList{Q("文本文件.txt (*.txt)")});
    EXPECT_EQ(question.title, Q("信息："));
    EXPECT_EQ(question.text, Q("导出成功！是否打开查看？"));
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(ReadFileBytes(target),
              c.empty ? std::string()
                      : Ansi("奶粉一----B001----10----德国\r\n奶粉二----B002----20----日本\r\n"
                             "奶粉三----B003----30----美国\r\n"));
    EXPECT_TRUE(FileExists(target));
    EXPECT_EQ(desktop_.Opened(), c.answer == QMessageBox::Yes ? std::vector<std::string>{target}
                                                              : std::vector<std::string>{});
  }
  EXPECT_EQ(watcher_.Unexpected(), 0);
  EXPECT_EQ(ListFile(), "<none>");  // exporting never writes the list file
}

TEST_F(ListCommandsTest, CancelledExportWritesNothingAndAsksNothing) {
  FillThree(*list_);
  FileDialogSeen dialog;
  watcher_.Expect(ChooseFile(QString(), &dialog));

  Click("按钮导出产品列表");

  EXPECT_EQ(watcher_.Handled(), 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(watcher_.Unexpected(), 0);
  EXPECT_FALSE(FileExists(PathIn("监控列表.txt")));
  EXPECT_TRUE(desktop_.Opened().empty());
}

TEST_F(ListCommandsTest, ExportToAnUnwritablePlaceReportsFailureAndAsksNothing) {
  FillThree(*list_);
  const std::string target = PathIn("no-such-folder/list.txt");
  FileDialogSeen dialog;
  BoxSeen failure;
  watcher_.Expect(ChooseFile(QString::fromStdString(target), &dialog));
  watcher_.Expect(Press(QMessageBox::Ok, &failure));

  Click("按钮导出产品列表");

  EXPECT_EQ(failure.title, Q("信息："));
  EXPECT_EQ(failure.text, Q("导出失败！"));
  EXPECT_EQ(failure.buttons, QMessageBox::Ok);
  QCoreApplication::processEvents();
  EXPECT_EQ(watcher_.Unexpected(), 0);
  EXPECT_FALSE(FileExists(target));
  EXPECT_TRUE(desktop_.Opened().empty());
}

TEST_F(ListCommandsTest, ExportOverAnExistingFileOnAFullDiskKeepsTheOldFile) {
  // The old export, then a list too large for what the disk still takes.
  const std::string target = PathIn("old.txt");
  const std::string old = Ansi("旧的----OLD1----1----德国\r\n");
  ASSERT_TRUE(WriteFileBytes(target, old));
  std::vector<ProductEntry> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back(Entry("1", "奶粉", "B00D8V0972", "60", "德国"));
  list_->Replace(rows);
  FileDialogSeen dialog;
  BoxSeen replace;
  BoxSeen failure;
  // The file dialog asks before replacing, inside its accept: the click is made from a
  // timer of its own, so the watcher goes on polling while that question is open.
  watcher_.Expect([choose = ChooseFile(QString::fromStdString(target), &dialog)](QWidget* widget) {
    QTimer::singleShot(0, widget, [choose, widget] { choose(widget); });
  });
  watcher_.Expect(Press(QMessageBox::Yes, &replace));
  watcher_.Expect(Press(QMessageBox::Ok, &failure));

  // The disk is full after 4096 more bytes: a file size limit, with SIGXFSZ ignored so the
  // write fails instead of ending the test.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  Click("按钮导出产品列表");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(watcher_.Handled(), 3);
  EXPECT_EQ(failure.text, Q("导出失败！"));
  EXPECT_EQ(ReadFileBytes(target), old);
  // No temporary file stays behind beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_), {}), 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(watcher_.Unexpected(), 0);
  EXPECT_TRUE(desktop_.Opened().empty());
}

TEST_F(ListCommandsTest, ImportAndExportWorkInFoldersNamedOutsideCodePage936) {
  // Characters that code page 936 cannot write, in the folder and the file names.
  const std::string folder = PathIn("Größe 📦 jörg");
  ASSERT_TRUE(MakeDirectories(folder));
  const std::string file = JoinPath(folder, "导入 ö.txt");
  ASSERT_TRUE(WriteFileBytes(file, Ansi("奶粉A----B00A----60----日本\r\n")));
  ImportThroughDialog(file);
  EXPECT_EQ(list_->Rows(), (std::vector<ProductEntry>{Entry("1", "奶粉A", "B00A", "60", "日本")}));

  const std::string target = JoinPath(folder, "导出 ß.txt");
  FileDialogSeen dialog;
  BoxSeen question;
  watcher_.Expect(ChooseFile(QString::fromStdString(target), &dialog));
  watcher_.Expect(Press(QMessageBox::Yes, &question));
  Click("按钮导出产品列表");
  EXPECT_EQ(question.text, Q("导出成功！是否打开查看？"));
  EXPECT_EQ(ReadFileBytes(target), Ansi("奶粉A----B00A----60----日本\r\n"));
  EXPECT_EQ(desktop_.Opened(), std::vector<std::string>{target});
  QCoreApplication::processEvents();
  EXPECT_EQ(watcher_.Unexpected(), 0);
}

TEST_F(ListCommandsTest, ClearAsksFirstAndLeavesTheFileSoARestartBringsTheListBack) {
  FillThree(*list_);
  ASSERT_TRUE(SaveProductList(*list_, directory_, ui_));
  const std::vector<ProductEntry> saved = list_->Rows();
  const std::string file = ListFile();

  BoxSeen refused;
  watcher_.Expect(Press(QMessageBox::No, &refused));
  Click("按钮清空产品列表");
  EXPECT_EQ(refused.title, Q("提醒"));
  EXPECT_EQ(refused.text, Q("确定要清空列表吗？"));
  EXPECT_EQ(refused.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(list_->Count(), 3);

  BoxSeen accepted;
  watcher_.Expect(Press(QMessageBox::Yes, &accepted));
  Click("按钮清空产品列表");
  EXPECT_EQ(list_->Count(), 0);
  EXPECT_EQ(View().topLevelItemCount(), 0);
  EXPECT_EQ(ListFile(), file);

  // A restart loads the list file again.
  ProductList restarted;
  LoadStartupProductList(restarted, directory_, ui_);
  EXPECT_EQ(restarted.Rows(), saved);
}

TEST_F(ListCommandsTest, CheckButtonsSetEveryRowAndNeverSave) {
  struct Case {
    const char* button;
    std::vector<bool> after;
  };
  for (const Case& c :
       {Case{"按钮反选", {false, true, false, true}}, Case{"按钮全选", {true, true, true, true}},
        Case{"按钮全不选", {false, false, false, false}}}) {
    SCOPED_TRACE(c.button);
    list_->Replace({Entry("1", "一", "A", "1", "德国"), Entry("2", "二", "B", "2", "德国"),
                    Entry("3", "三", "C", "3", "德国"), Entry("4", "四", "D", "4", "德国")});
    list_->SetMonitored(list_->IdAt(0), true);
    list_->SetMonitored(list_->IdAt(2), true);

    Click(c.button);

    EXPECT_EQ(Checks(*list_), c.after);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Item(i)->checkState(0), c.after[i] ? Qt::Checked : Qt::Unchecked);
    }
  }
  EXPECT_EQ(ListFile(), "<none>");
}

TEST_F(ListCommandsTest, DeleteFromTheListMenuRemovesTheRowAndSaves) {
  FillThree(*list_);
  Select(1);
  RightClickList(RowCentre(1));
  QMenu* menu = commands_.ListMenu();
  ASSERT_TRUE(menu->isVisible());
  EXPECT_EQ(menu->title(), Q("列表菜单"));
  QStringList items;
  for (QAction* action : menu->actions()) items << action->text();
  EXPECT_EQ(items, (QStringList{Q("打开链接"), Q("删除这个产品"), Q("修改"), Q("价格走势")}));

  BoxSeen refused;
  watcher_.Expect(Press(QMessageBox::No, &refused));
  ChooseMenuItem("删除这个产品");
  EXPECT_EQ(refused.title, Q("信息："));
  EXPECT_EQ(refused.text, Q("确定要删除【奶粉二】这个产品吗？"));
  EXPECT_EQ(refused.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(list_->Count(), 3);
  EXPECT_EQ(ListFile(), "<none>");

  BoxSeen accepted;
  watcher_.Expect(Press(QMessageBox::Yes, &accepted));
  Select(1);
  RightClickList(RowCentre(1));
  ChooseMenuItem("删除这个产品");

  EXPECT_EQ(Numbers(*list_), (std::vector<std::string>{"1", "3"}));
  ASSERT_EQ(View().topLevelItemCount(), 2);
  EXPECT_EQ(Item(1)->text(0), Q("3"));
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉三----B003----30----美国\r\n"));
}

TEST_F(ListCommandsTest, RightClickWithoutASelectedRowShowsNoMenu) {
  FillThree(*list_);
  Select(-1);
  const QPoint below(10, View().viewport()->height() - 5);
  ASSERT_EQ(View().itemAt(below), nullptr);

  RightClickList(below);

  EXPECT_FALSE(commands_.ListMenu()->isVisible());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ListCommandsTest, OpenLinkOpensTheProductPageOfTheRowsMarketplace) {
  struct Case {
    const char* country;
    const char* address;
  };
  for (const Case& c : {Case{"日本", "http://www.amazon.co.jp/gp/product/B0CODE"},
                        Case{"荷兰", "http://www.amazon.nl/dp/B0CODE"},
                        Case{"波兰", "http://www.amazon.de/dp/B0CODE"}}) {
    SCOPED_TRACE(c.country);
    list_->Replace(
        {Entry("1", "别的", "B0OTHER", "1", "美国"), Entry("2", "产品", "B0CODE", "5", c.country)});
    desktop_.Clear();
    Select(1);
    RightClickList(RowCentre(1));
    ChooseMenuItem("打开链接");
    EXPECT_EQ(desktop_.Opened(), std::vector<std::string>{c.address});
  }
}

// The error output of the code under test, collected while the object lives.
class ErrorOutput {
 public:
  ErrorOutput() {
    lines_ = &lines;
    previous_ =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
          if (type == QtCriticalMsg) lines_->push_back(text);
        });
  }
  ~ErrorOutput() {
    qInstallMessageHandler(previous_);
    lines_ = nullptr;
  }
  std::vector<QString> lines;

 private:
  static inline std::vector<QString>* lines_ = nullptr;
  QtMessageHandler previous_;
};

TEST_F(ListCommandsTest, AMissingListButtonIsReportedByNameAndTheOthersStillWork) {
  QWidget holder;
  QPushButton* ListButtons::*const members[] = {&ListButtons::importList, &ListButtons::addOne,
                                                &ListButtons::clear,      &ListButtons::exportList,
                                                &ListButtons::checkAll,   &ListButtons::uncheckAll,
                                                &ListButtons::invert};
  const char* names[] = {"按钮导入产品", "按钮加入一个产品", "按钮清空产品列表", "按钮导出产品列表",
                         "按钮全选",     "按钮全不选",       "按钮反选"};
  ListButtons full;
  for (auto member : members) full.*member = new QPushButton(&holder);
  for (int missing = 0; missing < 7; ++missing) {
    SCOPED_TRACE(names[missing]);
    ListButtons buttons = full;
    buttons.*members[missing] = nullptr;
    ListCommands commands(&View(), list_, std::make_shared<const MarketplaceTable>(), desktop_, ui_,
                          directory_, &window_);
    ErrorOutput errors;
    EXPECT_FALSE(commands.ConnectControls(buttons));
    ASSERT_EQ(errors.lines.size(), 1u);
    EXPECT_TRUE(errors.lines[0].contains(Q(names[missing]))) << errors.lines[0].toStdString();
  }
  // With every button present nothing is reported, and the buttons drive the commands.
  FillThree(*list_);
  ListCommands commands(&View(), list_, std::make_shared<const MarketplaceTable>(), desktop_, ui_,
                        directory_, &window_);
  ErrorOutput errors;
  EXPECT_TRUE(commands.ConnectControls(full));
  EXPECT_TRUE(errors.lines.empty());
  full.checkAll->click();
  EXPECT_EQ(list_->MonitoredIds().size(), 3u);
}

}  // namespace
}  // namespace korvelin::testing
