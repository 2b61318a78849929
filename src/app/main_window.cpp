#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <vector>

#include "app/desktop_notifier.h"
#include "app/list_view_mirror.h"
#include "app/log_view.h"
#include "app/text_convert.h"
#include "app/tray_kind.h"

// The pictures are compiled into the app library; a static library's resources must be
// registered by hand.
static void RegisterResources() { Q_INIT_RESOURCE(korvelin); }

namespace korvelin {

namespace {

const QColor kRed(255, 0, 0);

struct CheckSpec {
  const char16_t* name;
  const char16_t* caption;
  QRect place;
  bool ticked;
  bool enabled;
};

struct EditSpec {
  const char16_t* name;
  const char16_t* text;
  QRect place;
  bool enabled;
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

MainWindow::MainWindow(std::optional<bool> useTray) : QWidget(nullptr), useTray_(useTray) {
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
  // The pages sit in the tab control's page stack, which moves when the tab row changes.
  if (QWidget* stack = tabs_->widget(0)->parentWidget()) stack->installEventFilter(this);

  BuildPage0(canvas_[0]);
  BuildPage1(canvas_[1]);

  ConnectSettingHandlers();
  SetReadingTabOrder();
  BuildTray();
  PlaceCanvases();

  // Centred on the screen (the frame is not known before the window is shown).
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(903 / 2, 607 / 2));
  }
}

MainWindow::~MainWindow() {
  if (tray_) tray_->hide();
}

void MainWindow::BuildPage0(QWidget* c) {
  MonitorPage& p = monitor_;
  p.sound = MakeCheck(c, {u"选择框报警", u"开启声音提醒", {16, 27, 96, 24}, true, true});
  p.mailAlerts =
      MakeCheck(c, {u"选择框开启邮件通知", u"开启邮件通知", {141, 29, 93, 19}, false, false});
  p.openPage =
      MakeCheck(c, {u"选择框自动打开链接", u"有货自动打开网页", {16, 52, 125, 19}, false, true});
  p.balloon =
      MakeCheck(c, {u"选择框气泡提醒", u"最小化时弹出气泡", {141, 54, 116, 16}, true, true});
  p.sms =
      MakeCheck(c, {u"选择框短息通知", u"开启短信提醒(3条/天)", {16, 78, 140, 17}, false, true});
  p.timeout = MakeCheck(c, {u"选择框超时跳过", u"超时", {213, 105, 44, 24}, false, true});
  p.phone = MakeEdit(c, {u"编辑框手机号码", u"", {166, 75, 113, 22}, false});
  p.frequency = MakeEdit(c, {u"编辑框频率", u"5", {73, 107, 24, 20}, true});
  p.timeoutSeconds = MakeEdit(c, {u"编辑框超时跳过", u"15", {262, 106, 24, 20}, false});
  p.frequencyLabel = MakeLabel(c, {u"标签1", u"监控频率：", {16, 111, 56, 13}, false, false});
  p.secondsLabel = MakeLabel(c, {u"标签12", u"秒跳过", {291, 109, 40, 16}, false, false});
  p.runningCount =
      MakeLabel(c, {u"标签当前监控数", u"当前监控数：", {185, 136, 122, 22}, true, true});
  p.runningCount->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  p.runningCount->setAutoFillBackground(true);
  p.start = MakeButton(c, {u"按钮开始监控", u"开始监控", {100, 105, 61, 23}, true});
  p.stop = MakeButton(c, {u"按钮停止监控", u"停止", {164, 105, 41, 23}, false});
  ListButtons& list = p.listButtons;
  list.importList = MakeButton(c, {u"按钮导入产品", u"导入产品", {334, 26, 66, 30}, true});
  list.addOne = MakeButton(c, {u"按钮加入一个产品", u"加入一个", {406, 26, 65, 30}, true});
  list.clear = MakeButton(c, {u"按钮清空产品列表", u"清空产品", {477, 26, 65, 30}, true});
  list.exportList = MakeButton(c, {u"按钮导出产品列表", u"导出列表", {548, 26, 65, 30}, true});
  list.checkAll = MakeButton(c, {u"按钮全选", u"全  选", {619, 26, 66, 30}, true});
  list.uncheckAll = MakeButton(c, {u"按钮全不选", u"全不选", {691, 26, 65, 30}, true});
  list.invert = MakeButton(c, {u"按钮反选", u"反  选", {762, 26, 65, 30}, true});

  p.log = new LogView(c);
  p.log->setObjectName(QStringLiteral("编辑框日志"));
  p.log->setGeometry(12, 136, 312, 433);
  p.log->setFrameStyle(QFrame::Box | QFrame::Plain);
  p.log->setLineWidth(1);

  p.productList = CreateProductListView(c);
  p.productList->setGeometry(334, 65, 493, 504);

  p.runningCount->raise();  // it sits on the log box's top right corner

  p.ledgerBox = new QPlainTextEdit(c);
  p.ledgerBox->setObjectName(QStringLiteral("编辑框通知状态栏"));
  p.ledgerBox->setGeometry(836, 28, 269, 541);
  p.ledgerBox->setEnabled(false);
  p.ledgerBox->setReadOnly(true);
  p.ledgerBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  p.ledgerBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  p.ledgerBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  p.ledgerBox->setFrameStyle(QFrame::Box | QFrame::Plain);
  p.ledgerBox->setLineWidth(1);
}

void MainWindow::BuildPage1(QWidget* c) {
  MailPage& p = mail_;
  p.mailGroup = new QGroupBox(QStringLiteral("邮箱设置"), c);
  p.mailGroup->setObjectName(QStringLiteral("分组框邮箱设置"));
  p.mailGroup->setGeometry(19, 32, 288, 196);
  QGroupBox* mail = p.mailGroup;
  p.senderLabel = MakeLabel(mail, {u"标签3", u"发件邮箱：", {11, 18, 57, 24}, false, false});
  p.passwordLabel = MakeLabel(mail, {u"标签4", u"发件密码：", {11, 52, 56, 24}, false, false});
  p.recipientLabel = MakeLabel(mail, {u"标签5", u"收件邮箱：", {11, 88, 57, 24}, false, false});
  p.sameAddressNote = MakeLabel(
      mail, {u"标签6", u"注：发件邮箱与收件邮箱可以为同一个。", {34, 130, 216, 16}, true, false});
  for (QLabel* label : {p.senderLabel, p.passwordLabel, p.recipientLabel, p.sameAddressNote})
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  p.sender = MakeEdit(mail, {u"编辑框发件邮箱", u"@qq.com", {76, 18, 117, 24}, true});
  p.password = MakeEdit(mail, {u"编辑框发件密码", u"", {76, 54, 117, 24}, true});
  p.recipient = MakeEdit(mail, {u"编辑框收件邮箱", u"", {76, 89, 117, 24}, true});
  p.password->setEchoMode(QLineEdit::Password);
  p.password->setStyleSheet(
      QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // "*"
  p.showPassword =
      MakeCheck(mail, {u"选择框显示密码", u"显示密码", {206, 58, 71, 20}, false, true});
  p.connectButton = MakeButton(mail, {u"按钮重新链接邮件", u"连 接", {206, 90, 64, 24}, true});
  p.testButton = MakeButton(mail, {u"按钮发送测试邮件", u"发送测试邮件", {82, 156, 87, 27}, true});

  p.helpGroup = new QGroupBox(QStringLiteral("邮箱通知设置-示意图"), c);
  p.helpGroup->setObjectName(QStringLiteral("分组框2"));
  p.helpGroup->setGeometry(317, 32, 559, 434);
  QGroupBox* help = p.helpGroup;
  p.helpStep1 = MakeLabel(
      help, {u"标签7", u"①.登陆QQ邮箱，点击上面的【设置】", {14, 20, 456, 24}, false, false});
  p.helpStep2 =
      MakeLabel(help, {u"标签8", u"②.进入【账户】选项卡", {14, 132, 141, 24}, false, false});
  p.helpStep3 = MakeLabel(help, {u"标签9",
                                 u"③.往下面拉，开启【POP3/SMTP、IMAP/SMTP】服务",
                                 {14, 264, 469, 24},
                                 false,
                                 false});
  p.helpNote = MakeLabel(help, {u"标签10",
                                u"注：如果发现邮箱一直连接失败，可能是由于SMTP服务没有开启，\n    "
                                u"根据上面的步骤，进入QQ邮箱开启后即可使用。",
                                {18, 390, 360, 40},
                                true,
                                false});
  p.helpPicture1 = MakePicture(help, {u"图片框1", ":/help/help_1.bmp", {14, 52, 455, 53}});
  p.helpPicture2 = MakePicture(help, {u"图片框2", ":/help/help_2.bmp", {14, 161, 463, 80}});
  p.helpPicture3 = MakePicture(help, {u"图片框3", ":/help/help_3.bmp", {14, 292, 528, 72}});

  p.smsGroup = new QGroupBox(QStringLiteral("手机通知内容-示意图"), c);
  p.smsGroup->setObjectName(QStringLiteral("分组框3"));
  p.smsGroup->setGeometry(21, 241, 288, 224);
  p.smsPicture = MakePicture(p.smsGroup, {u"图片框4", ":/help/help_4.bmp", {16, 25, 257, 143}});
  p.smsNote =
      MakeLabel(p.smsGroup, {u"标签11",
                             u"注：如果手机突然收到类似上面的短信，\n    证明有产品降价了。",
                             {21, 179, 227, 31},
                             true,
                             false});
}

void MainWindow::SetReadingTabOrder() {
  // Each page as it is read: the settings on the left row by row, left to right, then the
  // list's buttons and the list on the right; page 1 the mail box row by row.
  const MonitorPage& m = monitor_;
  const ListButtons& b = m.listButtons;
  const MailPage& p = mail_;
  const std::vector<std::vector<QWidget*>> pages = {
      {m.sound, m.mailAlerts, m.openPage, m.balloon,        m.sms,    m.phone,       m.frequency,
       m.start, m.stop,       m.timeout,  m.timeoutSeconds, m.log,    b.importList,  b.addOne,
       b.clear, b.exportList, b.checkAll, b.uncheckAll,     b.invert, m.productList, m.ledgerBox},
      {p.sender, p.password, p.showPassword, p.recipient, p.connectButton, p.testButton},
  };
  for (const std::vector<QWidget*>& order : pages) {
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  }
}

void MainWindow::BuildTray() {
  trayMenu_ = std::make_unique<QMenu>(QStringLiteral("托盘菜单"));
  trayMenu_->setObjectName(QStringLiteral("托盘菜单"));
  showAction_ = trayMenu_->addAction(QStringLiteral("显示"));
  hideAction_ = trayMenu_->addAction(QStringLiteral("隐藏"));
  exitAction_ = trayMenu_->addAction(QStringLiteral("退出"));
  connect(trayMenu_.get(), &QMenu::aboutToShow, this, &MainWindow::PrepareTrayMenu);
  connect(showAction_, &QAction::triggered, this, &MainWindow::ShowMainWindow);
  connect(hideAction_, &QAction::triggered, this, &MainWindow::HideMainWindow);
  connect(exitAction_, &QAction::triggered, this, &MainWindow::ExitRequested);

  tray_ = new QSystemTrayIcon(windowIcon(), this);
  tray_->setObjectName(QStringLiteral("托盘图标1"));
  tray_->setToolTip(QStringLiteral("Korvelin"));
  tray_->setContextMenu(trayMenu_.get());  // right button: prepared by aboutToShow, then popped up
  statusNotifierTray_ = IsStatusNotifierTray();
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (!TogglesWindow(why, statusNotifierTray_)) return;
    if (isVisible()) {
      HideMainWindow();
    } else {
      ShowMainWindow();
    }
  });
  if (!useTray_.has_value()) {
    trayThere_ = QSystemTrayIcon::isSystemTrayAvailable();
    // The panel may start after the program (autostart at login), stop, or restart.
    auto* watch = new QTimer(this);
    watch->setInterval(2000);
    connect(watch, &QTimer::timeout, this, &MainWindow::WatchTray);
    watch->start();
  }
  if (TrayUsable()) tray_->show();
}

bool MainWindow::TrayUsable() const {
  if (trayRemoved_) return false;
  return useTray_.has_value() ? *useTray_ : trayThere_;
}

void MainWindow::WatchTray() {
  const bool there = QSystemTrayIcon::isSystemTrayAvailable();
  if (there == trayThere_ || trayRemoved_) return;
  trayThere_ = there;
  if (there) {
    // Qt embeds the icon only when it is shown: show it afresh in the new tray.
    statusNotifierTray_ = IsStatusNotifierTray();
    tray_->hide();
    tray_->show();
  } else {
    tray_->hide();
    // Hidden to a tray that is gone, the window could not come back: show it.
    if (!isVisible()) ShowMainWindow();
  }
}

void MainWindow::ShowOwnedDialogs() {
  // A window manager minimises a window's dialogs with it; they come back with it.
  for (QObject* child : children()) {
    auto* dialog = qobject_cast<QDialog*>(child);
    if (dialog == nullptr || !dialog->isVisible()) continue;
    if (dialog->isMinimized()) dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
    dialog->raise();
    dialog->activateWindow();
  }
}

void MainWindow::ConnectSettingHandlers() {
  // The three setting handlers, run when the user clicks the check box.
  QCheckBox* showPassword = mail_.showPassword;
  QLineEdit* password = mail_.password;
  connect(showPassword, &QCheckBox::clicked, password, [showPassword, password] {
    password->setEchoMode(showPassword->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
  });
  QCheckBox* timeout = monitor_.timeout;
  QLineEdit* timeoutBox = monitor_.timeoutSeconds;
  connect(timeout, &QCheckBox::clicked, timeoutBox,
          [timeout, timeoutBox] { timeoutBox->setEnabled(timeout->isChecked()); });
  QCheckBox* sms = monitor_.sms;
  QLineEdit* phone = monitor_.phone;
  connect(sms, &QCheckBox::clicked, phone, [sms, phone] { phone->setEnabled(sms->isChecked()); });
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
  // The platform never saw the minimised state of a window hidden to the tray (HideToTray),
  // so clearing it here only changes the widget's flag and show() maps a normal window.
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
  ShowOwnedDialogs();
  UpdateWindowFlags();
}

void MainWindow::HideMainWindow() {
  if (!TrayUsable()) {
    // Without a tray icon a hidden window could never come back: minimise to the taskbar.
    showMinimized();
    UpdateWindowFlags();
    return;
  }
  HideToTray();
}

void MainWindow::HideToTray() {
  hide();
  // The minimised state of a hidden window is the widget's flag only. Asking the platform
  // for it (setWindowState) sends the window manager a minimise request and marks the
  // hidden window iconic; the window manager then minimised the window again as soon as it
  // was shown, and the minimise handler hid it: a double-click showed it only for a flash.
  overrideWindowState(windowState() | Qt::WindowMinimized);
  UpdateWindowFlags();
}

void MainWindow::PrepareTrayMenu() {
  const bool visible = isVisible();
  showAction_->setVisible(!visible);
  hideAction_->setVisible(visible);
  exitAction_->setVisible(true);
}

bool MainWindow::ShowTrayBalloon(const std::string& title, const std::string& message,
                                 BalloonIcon icon, int displayMilliseconds) {
  // The notice holds at most 63 bytes of title and 255 of message; longer texts are cut at
  // the last whole character.
  const QString shownTitle = ToQString(CutAnsiText(title, 63));
  const QString shownMessage =
      ToQString(CutAnsiText(message, 255)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (trayRemoved_) return false;
  if (!TrayUsable() || !tray_->isVisible() || !QSystemTrayIcon::supportsMessages()) {
    // No tray to show it at: the desktop's notification service shows it, if there is one.
    return SendDesktopNotification(shownTitle, shownMessage, icon, displayMilliseconds);
  }
  QSystemTrayIcon::MessageIcon trayIcon = QSystemTrayIcon::Information;  // any other value
  switch (icon) {
    case BalloonIcon::None:
      trayIcon = QSystemTrayIcon::NoIcon;
      break;
    case BalloonIcon::Warning:
      trayIcon = QSystemTrayIcon::Warning;
      break;
    case BalloonIcon::Error:
      trayIcon = QSystemTrayIcon::Critical;
      break;
    default:
      break;
  }
  // 0 leaves the display time to the desktop; Qt's own default is 10 s.
  tray_->showMessage(shownTitle, shownMessage, trayIcon,
                     displayMilliseconds > 0 ? displayMilliseconds : 10000);
  return true;
}

void MainWindow::RemoveTrayIcon() {
  trayRemoved_ = true;
  tray_->hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  emit ExitRequested();
  event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) {
    emit ActiveChanged(isActiveWindow());
  } else if (event->type() == QEvent::WindowStateChange) {
    // A minimised window goes to the tray: no window, no taskbar button.
    if (isMinimized() && isVisible() && TrayUsable()) {
      QTimer::singleShot(0, this, [this] {
        if (isMinimized() && isVisible()) HideToTray();
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

void MainWindow::UpdateWindowFlags() { emit WindowFlagsChanged(isVisible(), isMinimized()); }

}  // namespace korvelin
