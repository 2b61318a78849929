#include "app/app.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <future>
#include <thread>
#include <utility>

#include "app/list_commands.h"
#include "app/list_view_mirror.h"
#include "app/main_window.h"
#include "app/price_charts.h"
#include "app/product_dialog.h"
#include "app/qt_list_file_ui.h"
#include "app/qt_ports.h"
#include "app/text_convert.h"
#include "app/ui_bridge.h"
#include "monitor/monitor_context.h"
#include "monitor/monitor_scheduler.h"
#include "products/product_store.h"

namespace korvelin {

namespace {

// The shared context plus the list view's listener: the list keeps a plain pointer to its
// listener, so the listener lives exactly as long as the list's owner. Members of the derived
// part go first, so the listener detaches itself while the list still exists.
struct AppContext : MonitorContext {
  std::unique_ptr<ListViewMirror> mirror;
};

const AppOptions& DefaultOptions() {
  static const AppOptions options;
  return options;
}

}  // namespace

App::App() : App(DefaultOptions()) {}

App::App(const AppOptions& options)
    : options_(options),
      window_(std::make_unique<MainWindow>(options.useTray)),
      bridge_(std::make_shared<UiBridge>(window_.get())),
      tickTimer_(QStringLiteral("时钟开始监控")),
      sweepTimer_(QStringLiteral("时钟通知状态")),
      countTimer_(QStringLiteral("时钟准备停止")) {
  BuildContext();
  BindSettings();
  ConnectControls();
  countTimer_.SetPeriod(1000);  // runs from the moment the window exists
}

App::~App() {
  // No work is handed to the window any more; detached threads may still run.
  bridge_->Close();
}

void App::BuildContext() {
  const MonitorPage& page0 = window_->Monitor();
  const MailPage& page1 = window_->Mail();
  auto context = std::make_shared<AppContext>();
  context->settings = std::make_shared<Settings>();
  context->log = std::make_shared<QtActivityLog>(bridge_, page0.log);
  context->products = std::make_shared<ProductList>();
  context->ledger = std::make_shared<AlertLedger>();
  desktop_ = std::make_shared<QtDesktop>(
      bridge_,
      [window = QPointer<MainWindow>(window_.get())](
          const std::string& title, const std::string& message, BalloonIcon icon, int ms) {
        return window && window->ShowTrayBalloon(title, message, icon, ms);
      },
      &player_);
  context->desktop = desktop_;
  auto mailControls = std::make_shared<QtMailControls>(bridge_, page1.connectButton,
                                                       page1.testButton, page0.mailAlerts);
  context->mail = std::make_shared<MailNotifier>(context->settings, context->log, context->desktop,
                                                 mailControls, MarketplaceTable().DefaultSite(),
                                                 options_.mailServer);
  context->sms = std::make_shared<SmsNotifier>(context->log);

  // The ledger box shows the ledger's current text; a change from a worker is handed to the
  // UI thread, which reads the text afresh, so the box never ends on an older text.
  std::weak_ptr<AlertLedger> ledger = context->ledger;
  context->ledger->SetListener(
      [bridge = bridge_, ledger,
       box = QPointer<QPlainTextEdit>(page0.ledgerBox)](const std::string&) {
        bridge->Run([ledger, box] {
          const auto current = ledger.lock();
          if (box && current) box->setPlainText(ToQString(current->Text()));
        });
      });

  context->mirror = std::make_unique<ListViewMirror>(bridge_, context->products, page0.productList);
  context->products->SetListener(context->mirror.get());
  context_ = context;

  schedulerControls_ = std::make_unique<QtSchedulerControls>(
      page0.start, page0.stop, page0.runningCount, tickTimer_, sweepTimer_);
  scheduler_ = std::make_unique<MonitorScheduler>(context_, *schedulerControls_);
  listFileUi_ = std::make_unique<QtListFileUi>(window_.get(), context->log);
}

void App::BindSettings() {
  const MonitorPage& page0 = window_->Monitor();
  const MailPage& page1 = window_->Mail();
  // Every tick and text goes into the settings store at once, where workers read it.
  const std::shared_ptr<Settings> settings = context_->settings;
  const std::pair<QCheckBox*, Tick> ticks[] = {
      {page0.sound, Tick::Sound},
      {page0.mailAlerts, Tick::MailAlerts},
      {page0.openPage, Tick::OpenPage},
      {page0.balloon, Tick::Balloon},
      {page0.sms, Tick::Sms},
      {page0.timeout, Tick::Timeout},
      {page1.showPassword, Tick::ShowPassword},
  };
  for (const auto& [box, tick] : ticks) {
    settings->SetTicked(tick, box->isChecked());
    connect(box, &QCheckBox::toggled, this,
            [settings, tick = tick](bool on) { settings->SetTicked(tick, on); });
  }
  const std::pair<QLineEdit*, Edit> texts[] = {
      {page0.phone, Edit::Phone},
      {page0.frequency, Edit::Frequency},
      {page0.timeoutSeconds, Edit::Timeout},
      {page1.sender, Edit::Sender},
      {page1.password, Edit::Password},
      {page1.recipient, Edit::Recipient},
  };
  for (const auto& [edit, text] : texts) {
    settings->SetText(text, ToAnsi(edit->text()));
    connect(edit, &QLineEdit::textChanged, this,
            [settings, text = text](const QString& now) { settings->SetText(text, ToAnsi(now)); });
  }
}

void App::ConnectControls() {
  const MonitorPage& page0 = window_->Monitor();
  const MailPage& page1 = window_->Mail();
  // The button that was pressed is disabled at once; the focus then goes to the other one of
  // the two, which has just been enabled, rather than on along the tab order (where a second
  // Space would press "导入产品").
  connect(page0.start, &QPushButton::clicked, this, [this, start = page0.start, stop = page0.stop] {
    const bool focused = start->hasFocus();
    scheduler_->StartMonitoring();
    if (focused && stop->isEnabled()) stop->setFocus(Qt::TabFocusReason);
  });
  connect(page0.stop, &QPushButton::clicked, this, [this, start = page0.start, stop = page0.stop] {
    const bool focused = stop->hasFocus();
    scheduler_->StopMonitoring();
    if (focused && start->isEnabled()) start->setFocus(Qt::TabFocusReason);
  });
  connect(&tickTimer_, &PeriodTimer::Fired, this, [this] { scheduler_->MonitoringTick(); });
  connect(&sweepTimer_, &PeriodTimer::Fired, this, [this] { context_->ledger->Sweep(); });
  connect(&countTimer_, &PeriodTimer::Fired, this, [this] { scheduler_->ShowRunningCount(); });

  // The mail buttons start their operation on a thread of its own; nobody waits for it.
  connect(page1.connectButton, &QPushButton::clicked, this,
          [mail = context_->mail] { std::thread([mail] { mail->Connect(); }).detach(); });
  connect(page1.testButton, &QPushButton::clicked, this,
          [mail = context_->mail] { std::thread([mail] { mail->SendTest(); }).detach(); });

  // The window's flags, read by workers through the desktop port.
  connect(window_.get(), &MainWindow::WindowFlagsChanged, this,
          [this](bool visible, bool minimised) { desktop_->SetWindowFlags(visible, minimised); });
  connect(window_.get(), &MainWindow::ActiveChanged, this,
          [this](bool active) { desktop_->SetWindowActive(active); });
  connect(window_.get(), &MainWindow::ExitRequested, this, &App::Shutdown);
}

void App::Start(const std::string& programDirectory) {
  // 1. The mail account connection, on a thread of its own; not waited for.
  std::thread([mail = context_->mail] { mail->Connect(); }).detach();
  // 2. The first page. 3. Pending events, so the window paints.
  window_->Tabs()->setCurrentIndex(0);
  QCoreApplication::processEvents();
  // 4. Themed drawing is the platform style Qt already uses.
  // 5.
  ModifyMode() = 0;
  // 6. The marketplace table.
  context_->marketplaces = std::make_shared<const MarketplaceTable>();
  // The list commands need the table and the program directory.
  commands_ = std::make_unique<ListCommands>(window_->Monitor().productList, context_->products,
                                             context_->marketplaces, *desktop_, *listFileUi_,
                                             programDirectory, window_.get());
  commands_->ConnectControls(window_->Monitor().listButtons);
  // The price history lives beside the list file; checks record into it through the context,
  // and "价格走势" shows it.
  context_->history = std::make_shared<PriceHistory>(programDirectory, context_->log);
  charts_ = std::make_unique<PriceCharts>(context_->history);
  commands_->SetPriceChartOpener([this](const ProductEntry& row) {
    charts_->Open({row.name, row.code, row.country, row.targetPrice});
  });
  // 7. The product list: the default list file, or the built-in list; then saved.
  LoadStartupProductList(*context_->products, programDirectory, *listFileUi_);
}

void App::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // 1. No icon is left behind in the notification area.
  window_->RemoveTrayIcon();
  // From here on, workers' calls no longer reach the widgets.
  bridge_->Close();
  tickTimer_.SetPeriod(0);
  sweepTimer_.SetPeriod(0);
  // 2. Disconnect from the mail server. A mail operation that holds the connection could
  // keep it busy, so the program waits for the disconnect two seconds at most.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread([mail = context_->mail, done] {
    mail->Disconnect();
    done->set_value();
  }).detach();
  finished.wait_for(std::chrono::seconds(2));
  // 3. The program ends; running checks are not waited for.
  emit ShutdownFinished();
}

}  // namespace korvelin
