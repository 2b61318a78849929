#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <future>
#include <thread>

#include "app/alarm_player.h"
#include "app/list_commands.h"
#include "app/list_view_mirror.h"
#include "app/log_view.h"
#include "app/period_timer.h"
#include "app/product_dialog.h"
#include "app/qt_list_file_ui.h"
#include "app/qt_ports.h"
#include "app/text_convert.h"
#include "app/ui_bridge.h"
#include "products/product_store.h"

// The pictures are compiled into the app library; a static library's resources must be
// registered by hand.
static void RegisterResources() { Q_INIT_RESOURCE(korvelin); }

namespace korvelin {

namespace {

// The shared context plus the list view's listener: the list keeps a plain pointer to its
// listener, so the listener lives exactly as long as the list's owner. Members of the derived
// part go first, so the listener detaches itself while the list still exists.
struct AppContext : MonitorContext {
  std::unique_ptr<ListViewMirror> mirror;
};

const QColor kRed(255, 0, 0);

struct CheckSpec {
  const char16_t* name;
  const char16_t* caption;
  QRect place;
  bool ticked;
  bool enabled;
  Tick setting;
};

struct EditSpec {
  const char16_t* name;
  const char16_t* text;
  QRect place;
  bool enabled;
  Edit setting;
};

struct LabelSpec {
  const char16_t* name;
  const char16_t* caption;
  QRect place;
  bool red;
  bool border;
};

struct ButtonSpec {
  const char16_t* name;
  const char16_t* caption;
  QRect place;
  bool enabled;
};

struct PictureSpec {
  const char16_t* name;
  const char* resource;
  QRect place;
};

QString S(const char16_t* text) { return QString::fromUtf16(text); }

QCheckBox* MakeCheck(QWidget* parent, const CheckSpec& form) {
  auto* box = new QCheckBox(S(form.caption), parent);
  box->setObjectName(S(form.name));
  box->setGeometry(form.place);
  box->setChecked(form.ticked);
  box->setEnabled(form.enabled);
  return box;
}

QLineEdit* MakeEdit(QWidget* parent, const EditSpec& form) {
  auto* edit = new QLineEdit(S(form.text), parent);
  edit->setObjectName(S(form.name));
  edit->setGeometry(form.place);
  edit->setEnabled(form.enabled);
  edit->setAlignment(Qt::AlignCenter);
  edit->setFrame(true);
  return edit;
}

QLabel* MakeLabel(QWidget* parent, const LabelSpec& form) {
  auto* label = new QLabel(S(form.caption), parent);
  label->setObjectName(S(form.name));
  label->setGeometry(form.place);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (form.red) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kRed);
    label->setPalette(palette);
  }
  if (form.border) label->setFrameStyle(QFrame::Box | QFrame::Plain);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const ButtonSpec& form) {
  auto* button = new QPushButton(S(form.caption), parent);
  button->setObjectName(S(form.name));
  button->setGeometry(form.place);
  button->setEnabled(form.enabled);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakePicture(QWidget* parent, const PictureSpec& form) {
  auto* picture = new QLabel(parent);
  picture->setObjectName(S(form.name));
  picture->setGeometry(form.place);
  picture->setScaledContents(true);  // the bitmap is scaled into the box
  const QPixmap pixmap(QString::fromLatin1(form.resource));
  if (!pixmap.isNull()) picture->setPixmap(pixmap);
  return picture;
}

// The tray and window icon: the pictures compiled into the program, or, when a build has
// none, a drawn price tag.
QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {256, 48, 32, 24, 16}) {
    const QString path = QStringLiteral(":/icons/korvelin_%1.png").arg(size);
    if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
  }
  if (!icon.isNull()) return icon;
  for (int size : {256, 48, 32, 24, 16}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xE8, 0x6A, 0x10));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(size * 0.06, size * 0.06, size * 0.88, size * 0.88), size * 0.18,
                            size * 0.18);
    painter.setPen(QPen(Qt::white, std::max(1.0, size * 0.09)));
    painter.drawLine(QPointF(size * 0.25, size * 0.35), QPointF(size * 0.5, size * 0.7));
    painter.drawLine(QPointF(size * 0.5, size * 0.7), QPointF(size * 0.75, size * 0.35));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

namespace {
const MainWindowOptions& DefaultOptions() {
  static const MainWindowOptions options;
  return options;
}
}  // namespace

MainWindow::MainWindow() : MainWindow(DefaultOptions()) {}

MainWindow::MainWindow(const MainWindowOptions& options) : QWidget(nullptr), options_(options) {
  RegisterResources();
  setObjectName(QStringLiteral("Korvelin"));
  setWindowTitle(QStringLiteral(
      "Korvelin - 测试版 - 同一产品10分钟内不重复报警 - 监控范围(亚马逊)：中国 | 德国 | 日本 | "
      "美国 | 加拿大 | 英国 | 法国 | 意大利 | 荷兰"));
  // Fixed border: minimise and close, no maximise, no resizing.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setWindowIcon(ProgramIcon());
  QFont font = this->font();
  font.setPixelSize(12);
  setFont(font);

  bridge_ = std::make_shared<UiBridge>(this);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("选择夹1"));
  // A low tab row, so the controls just below it (y 26 and more) stay inside the page.
  tabs_->setStyleSheet(QStringLiteral("QTabBar::tab { height: 20px; padding: 0 6px; }"));
  tabs_->setGeometry(-1, -1, 972, 620);
  for (int page = 0; page < 2; ++page) {
    auto* pageWidget = new QWidget();
    // Controls are placed relative to the tab control; the canvas sits where the tab
    // control's corner is, seen from the page.
    canvas_[page] = new QWidget(pageWidget);
    tabs_->addTab(pageWidget,
                  page == 0 ? QStringLiteral("监控设置") : QStringLiteral("邮箱设置/帮助"));
    pageWidget->installEventFilter(this);
  }
  if (auto* stack = tabs_->findChild<QStackedWidget*>()) stack->installEventFilter(this);

  BuildPage0(canvas_[0]);
  BuildPage1(canvas_[1]);

  player_ = new AlarmPlayer(this);
  tickTimer_ = new PeriodTimer(QStringLiteral("时钟开始监控"), this);
  sweepTimer_ = new PeriodTimer(QStringLiteral("时钟通知状态"), this);
  countTimer_ = new PeriodTimer(QStringLiteral("时钟准备停止"), this);

  BuildTray();
  BuildContext();
  BindSettings();
  PlaceCanvases();

  countTimer_->SetPeriod(1000);  // runs from the moment the window exists

  // Centred on the screen (the frame is not known before the window is shown).
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(903 / 2, 607 / 2));
  }
}

MainWindow::~MainWindow() {
  // No work is handed to this window any more; detached threads may still run.
  bridge_->Close();
  if (tray_) tray_->hide();
  delete commands_;
}

ListCommands* MainWindow::Commands() const { return commands_; }

void MainWindow::BuildPage0(QWidget* c) {
  static const CheckSpec checks[] = {
      {u"选择框报警", u"开启声音提醒", {16, 27, 96, 24}, true, true, Tick::Sound},
      {u"选择框开启邮件通知", u"开启邮件通知", {141, 29, 93, 19}, false, false, Tick::MailAlerts},
      {u"选择框自动打开链接", u"有货自动打开网页", {16, 52, 125, 19}, false, true, Tick::OpenPage},
      {u"选择框气泡提醒", u"最小化时弹出气泡", {141, 54, 116, 16}, true, true, Tick::Balloon},
      {u"选择框短息通知", u"开启短信提醒(3条/天)", {16, 78, 140, 17}, false, true, Tick::Sms},
      {u"选择框超时跳过", u"超时", {213, 105, 44, 24}, false, true, Tick::Timeout},
  };
  for (const CheckSpec& form : checks)
    MakeCheck(c, form)->setProperty("setting", static_cast<int>(form.setting));
  static const EditSpec edits[] = {
      {u"编辑框手机号码", u"", {166, 75, 113, 22}, false, Edit::Phone},
      {u"编辑框频率", u"5", {73, 107, 24, 20}, true, Edit::Frequency},
      {u"编辑框超时跳过", u"15", {262, 106, 24, 20}, false, Edit::Timeout},
  };
  for (const EditSpec& form : edits)
    MakeEdit(c, form)->setProperty("setting", static_cast<int>(form.setting));
  static const LabelSpec labels[] = {
      {u"标签1", u"监控频率：", {16, 111, 56, 13}, false, false},
      {u"标签12", u"秒跳过", {291, 109, 40, 16}, false, false},
      {u"标签当前监控数", u"当前监控数：", {185, 136, 122, 22}, true, true},
  };
  for (const LabelSpec& form : labels) MakeLabel(c, form);
  countLabel_ = c->findChild<QLabel*>(QStringLiteral("标签当前监控数"));
  countLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  countLabel_->setAutoFillBackground(true);
  static const ButtonSpec buttons[] = {
      {u"按钮开始监控", u"开始监控", {100, 105, 61, 23}, true},
      {u"按钮停止监控", u"停止", {164, 105, 41, 23}, false},
      {u"按钮导入产品", u"导入产品", {334, 26, 66, 30}, true},
      {u"按钮加入一个产品", u"加入一个", {406, 26, 65, 30}, true},
      {u"按钮清空产品列表", u"清空产品", {477, 26, 65, 30}, true},
      {u"按钮导出产品列表", u"导出列表", {548, 26, 65, 30}, true},
      {u"按钮全选", u"全  选", {619, 26, 66, 30}, true},
      {u"按钮全不选", u"全不选", {691, 26, 65, 30}, true},
      {u"按钮反选", u"反  选", {762, 26, 65, 30}, true},
  };
  for (const ButtonSpec& form : buttons) MakeButton(c, form);
  startButton_ = c->findChild<QPushButton*>(QStringLiteral("按钮开始监控"));
  stopButton_ = c->findChild<QPushButton*>(QStringLiteral("按钮停止监控"));

  log_ = new LogView(c);
  log_->setObjectName(QStringLiteral("编辑框日志"));
  log_->setGeometry(12, 136, 312, 433);
  log_->setFrameStyle(QFrame::Box | QFrame::Plain);
  log_->setLineWidth(1);

  listView_ = CreateProductListView(c);
  listView_->setGeometry(334, 65, 493, 504);

  countLabel_->raise();  // it sits on the log box's top right corner

  ledgerBox_ = new QPlainTextEdit(c);
  ledgerBox_->setObjectName(QStringLiteral("编辑框通知状态栏"));
  ledgerBox_->setGeometry(836, 28, 269, 541);
  ledgerBox_->setEnabled(false);
  ledgerBox_->setReadOnly(true);
  ledgerBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ledgerBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ledgerBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  ledgerBox_->setFrameStyle(QFrame::Box | QFrame::Plain);
  ledgerBox_->setLineWidth(1);
}

void MainWindow::BuildPage1(QWidget* c) {
  auto* mail = new QGroupBox(QStringLiteral("邮箱设置"), c);
  mail->setObjectName(QStringLiteral("分组框邮箱设置"));
  mail->setGeometry(19, 32, 288, 196);
  static const LabelSpec mailLabels[] = {
      {u"标签3", u"发件邮箱：", {11, 18, 57, 24}, false, false},
      {u"标签4", u"发件密码：", {11, 52, 56, 24}, false, false},
      {u"标签5", u"收件邮箱：", {11, 88, 57, 24}, false, false},
      {u"标签6", u"注：发件邮箱与收件邮箱可以为同一个。", {34, 130, 216, 16}, true, false},
  };
  for (const LabelSpec& form : mailLabels)
    MakeLabel(mail, form)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  static const EditSpec mailEdits[] = {
      {u"编辑框发件邮箱", u"@qq.com", {76, 18, 117, 24}, true, Edit::Sender},
      {u"编辑框发件密码", u"", {76, 54, 117, 24}, true, Edit::Password},
      {u"编辑框收件邮箱", u"", {76, 89, 117, 24}, true, Edit::Recipient},
  };
  for (const EditSpec& form : mailEdits)
    MakeEdit(mail, form)->setProperty("setting", static_cast<int>(form.setting));
  auto* password = mail->findChild<QLineEdit*>(QStringLiteral("编辑框发件密码"));
  password->setEchoMode(QLineEdit::Password);
  password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // "*"
  MakeCheck(mail,
            {u"选择框显示密码", u"显示密码", {206, 58, 71, 20}, false, true, Tick::ShowPassword})
      ->setProperty("setting", static_cast<int>(Tick::ShowPassword));
  MakeButton(mail, {u"按钮重新链接邮件", u"连 接", {206, 90, 64, 24}, true});
  MakeButton(mail, {u"按钮发送测试邮件", u"发送测试邮件", {82, 156, 87, 27}, true});

  auto* help = new QGroupBox(QStringLiteral("邮箱通知设置-示意图"), c);
  help->setObjectName(QStringLiteral("分组框2"));
  help->setGeometry(317, 32, 559, 434);
  static const LabelSpec helpLabels[] = {
      {u"标签7", u"①.登陆QQ邮箱，点击上面的【设置】", {14, 20, 456, 24}, false, false},
      {u"标签8", u"②.进入【账户】选项卡", {14, 132, 141, 24}, false, false},
      {u"标签9", u"③.往下面拉，开启【POP3/SMTP、IMAP/SMTP】服务", {14, 264, 469, 24}, false, false},
      {u"标签10",
       u"注：如果发现邮箱一直连接失败，可能是由于SMTP服务没有开启，\n    "
       u"根据上面的步骤，进入QQ邮箱开启后即可使用。",
       {18, 390, 360, 40},
       true,
       false},
  };
  for (const LabelSpec& form : helpLabels) MakeLabel(help, form);
  static const PictureSpec helpPictures[] = {
      {u"图片框1", ":/help/help_1.bmp", {14, 52, 455, 53}},
      {u"图片框2", ":/help/help_2.bmp", {14, 161, 463, 80}},
      {u"图片框3", ":/help/help_3.bmp", {14, 292, 528, 72}},
  };
  for (const PictureSpec& form : helpPictures) MakePicture(help, form);

  auto* sms = new QGroupBox(QStringLiteral("手机通知内容-示意图"), c);
  sms->setObjectName(QStringLiteral("分组框3"));
  sms->setGeometry(21, 241, 288, 224);
  MakePicture(sms, {u"图片框4", ":/help/help_4.bmp", {16, 25, 257, 143}});
  MakeLabel(sms, {u"标签11",
                  u"注：如果手机突然收到类似上面的短信，\n    证明有产品降价了。",
                  {21, 179, 227, 31},
                  true,
                  false});
}

void MainWindow::BuildTray() {
  trayMenu_ = new QMenu(QStringLiteral("托盘菜单"), this);
  trayMenu_->setObjectName(QStringLiteral("托盘菜单"));
  showAction_ = trayMenu_->addAction(QStringLiteral("显示"));
  hideAction_ = trayMenu_->addAction(QStringLiteral("隐藏"));
  exitAction_ = trayMenu_->addAction(QStringLiteral("退出"));
  connect(trayMenu_, &QMenu::aboutToShow, this, &MainWindow::PrepareTrayMenu);
  connect(showAction_, &QAction::triggered, this, &MainWindow::ShowMainWindow);
  connect(hideAction_, &QAction::triggered, this, &MainWindow::HideMainWindow);
  connect(exitAction_, &QAction::triggered, this, &MainWindow::Shutdown);

  tray_ = new QSystemTrayIcon(windowIcon(), this);
  tray_->setObjectName(QStringLiteral("托盘图标1"));
  tray_->setToolTip(QStringLiteral("Korvelin"));
  tray_->setContextMenu(trayMenu_);  // right button: prepared by aboutToShow, then popped up
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why != QSystemTrayIcon::DoubleClick) return;  // a single click does nothing
    if (isVisible()) {
      HideMainWindow();
    } else {
      ShowMainWindow();
    }
  });
  if (options_.useTray) tray_->show();
}

void MainWindow::BuildContext() {
  auto context = std::make_shared<AppContext>();
  context->settings = std::make_shared<Settings>();
  context->log = std::make_shared<QtActivityLog>(bridge_, log_);
  context->products = std::make_shared<ProductList>();
  context->ledger = std::make_shared<AlertLedger>();
  QPointer<MainWindow> self(this);
  desktop_ = std::make_shared<QtDesktop>(
      bridge_,
      [self](const std::string& title, const std::string& message, int kind, int ms) {
        return self && self->ShowTrayBalloon(title, message, kind, ms);
      },
      player_);
  context->desktop = desktop_;
  auto* page1 = canvas_[1];
  auto controls = std::make_shared<QtMailControls>(
      bridge_, page1->findChild<QPushButton*>(QStringLiteral("按钮重新链接邮件")),
      page1->findChild<QPushButton*>(QStringLiteral("按钮发送测试邮件")),
      canvas_[0]->findChild<QCheckBox*>(QStringLiteral("选择框开启邮件通知")));
  context->mail =
      std::make_shared<MailNotifier>(context->settings, context->log, context->desktop, controls,
                                     MarketplaceTable().DefaultSite(), options_.mailServer);
  context->sms = std::make_shared<SmsNotifier>(context->log);

  // The ledger box shows the ledger's current text; a change from a worker is handed to the
  // UI thread, which reads the text afresh, so the box never ends on an older text.
  std::weak_ptr<AlertLedger> ledger = context->ledger;
  context->ledger->SetListener(
      [bridge = bridge_, ledger, box = QPointer<QPlainTextEdit>(ledgerBox_)](const std::string&) {
        bridge->Run([ledger, box] {
          const auto current = ledger.lock();
          if (box && current) box->setPlainText(ToQString(current->Text()));
        });
      });

  context->mirror = std::make_unique<ListViewMirror>(bridge_, context->products, listView_);
  mirror_ = context->mirror.get();
  context->products->SetListener(mirror_);
  context_ = context;

  scheduler_ = std::make_unique<MonitorScheduler>(context_, static_cast<SchedulerControls&>(*this));
  connect(startButton_, &QPushButton::clicked, this, [this] { scheduler_->StartMonitoring(); });
  connect(stopButton_, &QPushButton::clicked, this, [this] { scheduler_->StopMonitoring(); });
  connect(tickTimer_, &PeriodTimer::Fired, this, [this] { scheduler_->MonitoringTick(); });
  connect(sweepTimer_, &PeriodTimer::Fired, this, [this] { context_->ledger->Sweep(); });
  connect(countTimer_, &PeriodTimer::Fired, this, [this] { scheduler_->ShowRunningCount(); });

  // The mail buttons start their operation on a thread of its own; nobody waits for it.
  auto* page1Connect = page1->findChild<QPushButton*>(QStringLiteral("按钮重新链接邮件"));
  auto* page1Test = page1->findChild<QPushButton*>(QStringLiteral("按钮发送测试邮件"));
  connect(page1Connect, &QPushButton::clicked, this,
          [mail = context_->mail] { std::thread([mail] { mail->Connect(); }).detach(); });
  connect(page1Test, &QPushButton::clicked, this,
          [mail = context_->mail] { std::thread([mail] { mail->SendTest(); }).detach(); });
  listFileUi_ = std::make_unique<QtListFileUi>(this);
}

void MainWindow::BindSettings() {
  // Every tick and text goes into the settings store at once, where workers read it.
  const std::shared_ptr<Settings> settings = context_->settings;
  for (QCheckBox* box : findChildren<QCheckBox*>()) {
    const QVariant setting = box->property("setting");
    if (!setting.isValid()) continue;
    const auto tick = static_cast<Tick>(setting.toInt());
    settings->SetTicked(tick, box->isChecked());
    connect(box, &QCheckBox::toggled, this,
            [settings, tick](bool on) { settings->SetTicked(tick, on); });
  }
  for (QLineEdit* edit : findChildren<QLineEdit*>()) {
    const QVariant setting = edit->property("setting");
    if (!setting.isValid()) continue;
    const auto box = static_cast<Edit>(setting.toInt());
    settings->SetText(box, ToAnsi(edit->text()));
    connect(edit, &QLineEdit::textChanged, this,
            [settings, box](const QString& text) { settings->SetText(box, ToAnsi(text)); });
  }

  // The three setting handlers, run when the user clicks the check box.
  auto* showPassword = findChild<QCheckBox*>(QStringLiteral("选择框显示密码"));
  auto* password = findChild<QLineEdit*>(QStringLiteral("编辑框发件密码"));
  connect(showPassword, &QCheckBox::clicked, password, [showPassword, password] {
    password->setEchoMode(showPassword->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
  });
  auto* timeout = findChild<QCheckBox*>(QStringLiteral("选择框超时跳过"));
  auto* timeoutBox = findChild<QLineEdit*>(QStringLiteral("编辑框超时跳过"));
  connect(timeout, &QCheckBox::clicked, timeoutBox,
          [timeout, timeoutBox] { timeoutBox->setEnabled(timeout->isChecked()); });
  auto* sms = findChild<QCheckBox*>(QStringLiteral("选择框短息通知"));
  auto* phone = findChild<QLineEdit*>(QStringLiteral("编辑框手机号码"));
  connect(sms, &QCheckBox::clicked, phone, [sms, phone] { phone->setEnabled(sms->isChecked()); });
}

void MainWindow::Start(const std::string& programDirectory) {
  // 1. The mail account connection, on a thread of its own; not waited for.
  std::thread([mail = context_->mail] { mail->Connect(); }).detach();
  // 2. The first page. 3. Pending events, so the window paints.
  tabs_->setCurrentIndex(0);
  QCoreApplication::processEvents();
  // 4. Themed drawing is the platform style Qt already uses.
  // 5.
  ModifyMode() = 0;
  // 6. The marketplace table.
  context_->marketplaces = std::make_shared<const MarketplaceTable>();
  // The list commands need the table and the program directory.
  commands_ = new ListCommands(listView_, context_->products, context_->marketplaces, *desktop_,
                               *listFileUi_, programDirectory, this);
  commands_->ConnectControls(this);
  // 7. The product list: the default list file, or the built-in list; then saved.
  LoadStartupProductList(*context_->products, programDirectory, *listFileUi_);
}

void MainWindow::PlaceCanvases() {
  for (QWidget* canvas : canvas_) {
    QWidget* page = canvas->parentWidget();
    const QPoint offset = page->mapTo(tabs_, QPoint(0, 0));
    canvas->setGeometry(-offset.x(), -offset.y(), tabs_->width(), tabs_->height());
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
      event->type() == QEvent::Show) {
    PlaceCanvases();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::ShowMainWindow() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
  UpdateWindowFlags();
}

void MainWindow::HideMainWindow() {
  if (!options_.useTray) {
    // Without a tray icon a hidden window could never come back: minimise to the taskbar.
    showMinimized();
    UpdateWindowFlags();
    return;
  }
  hide();
  setWindowState(windowState() | Qt::WindowMinimized);
  UpdateWindowFlags();
}

void MainWindow::PrepareTrayMenu() {
  const bool visible = isVisible();
  showAction_->setVisible(!visible);
  hideAction_->setVisible(visible);
  exitAction_->setVisible(true);
}

bool MainWindow::ShowTrayBalloon(const std::string& title, const std::string& message, int iconKind,
                                 int displayMilliseconds) {
  // The notice holds at most 63 bytes of title and 255 of message; longer texts are cut at
  // the last whole character.
  const QString shownTitle = ToQString(CutAnsiText(title, 63));
  const QString shownMessage =
      ToQString(CutAnsiText(message, 255)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (!options_.useTray || shutDown_ || !tray_->isVisible() ||
      !QSystemTrayIcon::supportsMessages()) {
    return false;
  }
  QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information;
  switch (iconKind) {
    case 0:
      icon = QSystemTrayIcon::NoIcon;
      break;
    case 2:
      icon = QSystemTrayIcon::Warning;
      break;
    case 3:
      icon = QSystemTrayIcon::Critical;
      break;
    default:
      break;
  }
  // 0 leaves the display time to the desktop; Qt's own default is 10 s.
  tray_->showMessage(shownTitle, shownMessage, icon,
                     displayMilliseconds > 0 ? displayMilliseconds : 10000);
  return true;
}

void MainWindow::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // 1. No icon is left behind in the notification area.
  tray_->hide();
  // From here on, workers' calls no longer reach the widgets.
  bridge_->Close();
  tickTimer_->SetPeriod(0);
  sweepTimer_->SetPeriod(0);
  // 2. Disconnect from the mail server. A mail operation that holds the connection could
  // keep it busy, so the window waits for the disconnect two seconds at most.
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

void MainWindow::closeEvent(QCloseEvent* event) {
  Shutdown();
  event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) {
    desktop_->SetWindowActive(isActiveWindow());
  } else if (event->type() == QEvent::WindowStateChange) {
    // A minimised window goes to the tray: no window, no taskbar button.
    if (isMinimized() && isVisible() && options_.useTray && !shutDown_) {
      QTimer::singleShot(0, this, [this] {
        if (isMinimized()) hide();
        UpdateWindowFlags();
      });
    }
    UpdateWindowFlags();
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  UpdateWindowFlags();
}

void MainWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  UpdateWindowFlags();
}

void MainWindow::UpdateWindowFlags() {
  if (desktop_) desktop_->SetWindowFlags(isVisible(), isMinimized());
}

void MainWindow::SetTickTimerPeriod(int milliseconds) { tickTimer_->SetPeriod(milliseconds); }
void MainWindow::SetSweepTimerPeriod(int milliseconds) { sweepTimer_->SetPeriod(milliseconds); }
void MainWindow::SetStartEnabled(bool enabled) { startButton_->setEnabled(enabled); }
void MainWindow::SetStopEnabled(bool enabled) { stopButton_->setEnabled(enabled); }
void MainWindow::SetRunningCountCaption(const std::string& caption) {
  countLabel_->setText(ToQString(caption));
}

}  // namespace korvelin
