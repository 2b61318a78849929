// A large product list in the real main window (Qt's offscreen platform), at 1 000, 10 000
// and 100 000 rows:
//   - start-up with a list file of N rows until the window is shown and painted, against the
//     same start with the built-in 17-row list (BM_StartUp/17);
//   - "全  选", "全不选" and "反  选" clicked, until the list view has repainted;
//   - deleting a row through "删除这个产品" (the question answered Yes), which also saves;
// and, as the baseline for the list commands, a plain QTreeWidget of N rows whose check
// boxes are all set at once (BM_PlainTreeCheckAll/N): what Qt itself needs for the change.
// Targets: start-up at most 1 s, every command at most 100 ms, at 100 000 rows.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/list_commands.h"
#include "app/main_window.h"
#include "app/text_convert.h"
#include "common/code_page.h"
#include "common/files.h"
#include "products/list_file.h"
#include "products/product_store.h"

namespace korvelin {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// A list file of `rows` products in the list file format.
std::string ListText(int rows) {
  static const std::string kName = Ansi("喜宝有机奶粉");
  static const std::string kCountry = Ansi("德国");
  std::vector<ProductEntry> entries(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    ProductEntry& entry = entries[static_cast<std::size_t>(i)];
    entry.name = kName + std::to_string(i + 1);
    entry.code = "B004X0X" + std::to_string(100 + i % 900);
    entry.targetPrice = std::to_string(30 + i % 40);
    entry.country = kCountry;
  }
  return EncodeProductList(entries);
}

// The program as it starts: the main window, started on a folder that holds the list file.
class Program {
 public:
  explicit Program(int rows) {
    const std::string directory = ToAnsi(folder_.path());
    if (rows != 17) WriteFileBytes(ProductListFilePath(directory), ListText(rows));
    AppOptions options;
    options.useTray = false;
    options.mailServer = MailServer{"127.0.0.1", 9};  // nothing listens: refused at once
    app_ = std::make_unique<App>(options);
    app_->Start(directory);
    app_->Window().show();
    WaitUntilShown(app_->Window());
  }
  ~Program() { app_->Shutdown(); }

  QWidget& Window() { return app_->Window(); }
  ListCommands& Commands() { return *app_->Commands(); }
  QTreeWidget& View() { return *Window().findChild<QTreeWidget*>(U("超级列表框监控列表")); }
  void Click(const char* button) { Window().findChild<QAbstractButton*>(U(button))->click(); }

  static void WaitUntilShown(QWidget& window) {
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Repaint(window);
  }
  // Delivers the queued events and paints what they changed.
  static void Repaint(QWidget& window) {
    QCoreApplication::processEvents();
    window.repaint();
  }

 private:
  QTemporaryDir folder_;
  std::unique_ptr<App> app_;
};

void BM_StartUp(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::unique_ptr<Program> program = std::make_unique<Program>(rows);
    state.PauseTiming();
    program.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

// Runs `command` once per iteration, the list starting each time in `prepare`'s state.
template <typename Prepare, typename Command>
void RunListCommand(benchmark::State& state, Prepare prepare, Command command) {
  Program program(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    prepare(program);
    Program::Repaint(program.Window());
    state.ResumeTiming();
    command(program);
    Program::Repaint(program.Window());
  }
}

void BM_CheckAll(benchmark::State& state) {
  RunListCommand(
      state, [](Program& p) { p.Click("按钮全不选"); }, [](Program& p) { p.Click("按钮全选"); });
}

void BM_UncheckAll(benchmark::State& state) {
  RunListCommand(
      state, [](Program& p) { p.Click("按钮全选"); }, [](Program& p) { p.Click("按钮全不选"); });
}

void BM_Invert(benchmark::State& state) {
  RunListCommand(
      state, [](Program&) {}, [](Program& p) { p.Click("按钮反选"); });
}

// The row in the middle of the list is selected and deleted; the question is answered Yes.
void BM_DeleteRow(benchmark::State& state) {
  RunListCommand(
      state,
      [](Program& p) {
        QTreeWidget& view = p.View();
        view.setCurrentItem(view.topLevelItem(view.topLevelItemCount() / 2));
      },
      [](Program& p) {
        QTimer::singleShot(0, [] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
        });
        p.Commands().DeleteProduct();
      });
}

// Baseline: a plain QTreeWidget with N rows of seven texts and a check box, all check boxes
// set at once, until it has repainted.
void BM_PlainTreeCheckAll(benchmark::State& state) {
  QTreeWidget tree;
  tree.setColumnCount(7);
  tree.setUniformRowHeights(true);
  tree.resize(493, 504);
  QList<QTreeWidgetItem*> items;
  for (int i = 0; i < state.range(0); ++i) {
    auto* item =
        new QTreeWidgetItem(QStringList{QString::number(i + 1), U("喜宝有机奶粉"), U("B004X0XA6E"),
                                        QString(), U("60"), U("德国"), QString()});
    item->setCheckState(0, Qt::Unchecked);
    items.push_back(item);
  }
  tree.addTopLevelItems(items);
  tree.show();
  Program::WaitUntilShown(tree);
  bool checked = false;
  for (auto _ : state) {
    checked = !checked;
    for (QTreeWidgetItem* item : items)
      item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    Program::Repaint(tree);
  }
}

constexpr int kSizes[] = {1000, 10000, 100000};

void Sizes(benchmark::internal::Benchmark* b) {
  for (int rows : kSizes) b->Arg(rows);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_StartUp)->Arg(17)->Apply(Sizes)->Iterations(3);
BENCHMARK(BM_CheckAll)->Apply(Sizes)->Iterations(5);
BENCHMARK(BM_UncheckAll)->Apply(Sizes)->Iterations(5);
BENCHMARK(BM_Invert)->Apply(Sizes)->Iterations(5);
BENCHMARK(BM_DeleteRow)->Apply(Sizes)->Iterations(5);
BENCHMARK(BM_PlainTreeCheckAll)->Apply(Sizes)->Iterations(5);

}  // namespace
}  // namespace korvelin
