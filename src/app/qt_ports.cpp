#include "app/qt_ports.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "app/alarm_player.h"
#include "app/log_view.h"
#include "app/period_timer.h"
#include "app/text_convert.h"

namespace korvelin {

QtActivityLog::QtActivityLog(std::shared_ptr<UiBridge> bridge, LogView* view)
    : bridge_(std::move(bridge)), view_(view) {}

void QtActivityLog::Append(const std::string& entry) {
  if (bridge_->OnUiThread()) {
    Drain(*queue_, view_);
    if (view_) view_->Append(entry);
    return;
  }
  bool first = false;
  {
    std::lock_guard lock(queue_->mutex);
    first = queue_->entries.empty();
    queue_->entries.push_back(entry);
  }
  if (first && !bridge_->Post([queue = queue_, view = view_] { Drain(*queue, view); })) {
    // The window is closing: nothing will take the entries any more.
    std::lock_guard lock(queue_->mutex);
    queue_->entries.clear();
  }
}

void QtActivityLog::Drain(Queue& queue, LogView* view) {
  std::vector<std::string> entries;
  {
    std::lock_guard lock(queue.mutex);
    entries.swap(queue.entries);
  }
  if (!view) return;
  for (const std::string& entry : entries) view->Append(entry);
}

QtDesktop::QtDesktop(std::shared_ptr<UiBridge> bridge, BalloonHandler balloon, AlarmPlayer* player)
    : bridge_(std::move(bridge)), balloon_(std::move(balloon)), player_(player) {}

QUrl AddressToUrl(const QString& address) {
  const QUrl url(address);
  // "C:/x" parses with the scheme "c"; a real scheme has more than one letter.
  if (url.isValid() && url.scheme().size() > 1) return url;
  return QUrl::fromLocalFile(QDir::fromNativeSeparators(address));
}

void QtDesktop::OpenAddress(const std::string& address) {
  // A file path (it starts with "/") holds the file system's bytes; an address is a text.
  const QString text =
      !address.empty() && address[0] == '/' ? PathToQString(address) : ToQString(address);
  bridge_->Run([text] { QDesktopServices::openUrl(AddressToUrl(text)); });
}

bool QtDesktop::ShowTrayBalloon(const std::string& title, const std::string& message,
                                BalloonIcon icon, int displayMilliseconds) {
  // A bounded hand-off: the worker waits for the UI thread at most two seconds, and not at
  // all once the window has closed.
  return bridge_->Call<bool>(
      [balloon = balloon_, title, message, icon, displayMilliseconds] {
        return balloon && balloon(title, message, icon, displayMilliseconds);
      },
      false);
}

void QtDesktop::PlayAlarm(std::string_view wave) {
  // The sound data outlives every caller (it is compiled into the program), but copy it to
  // be safe for any caller's buffer.
  bridge_->Run([player = player_, bytes = std::string(wave)] {
    if (player) player->Play(bytes);
  });
}

void QtDesktop::ShowMessage(const std::string& text, const std::string& title) {
  const QString body = ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QString caption = ToQString(title);
  // Always queued, so the caller never waits for the user, even on the UI thread.
  bridge_->Post([body, caption] {
    auto* box = new QMessageBox(QMessageBox::NoIcon, caption, body, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("信息框"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  });
}

QtMailControls::QtMailControls(std::shared_ptr<UiBridge> bridge, QPushButton* connectButton,
                               QPushButton* testButton, QCheckBox* mailAlerts)
    : bridge_(std::move(bridge)),
      connect_(connectButton),
      test_(testButton),
      mailAlerts_(mailAlerts) {}

void QtMailControls::SetConnectButton(const std::string& caption, bool enabled) {
  bridge_->Run([button = connect_, text = ToQString(caption), enabled] {
    if (!button) return;
    button->setText(text);
    button->setEnabled(enabled);
  });
}

void QtMailControls::SetTestButton(const std::string& caption, bool enabled) {
  bridge_->Run([button = test_, text = ToQString(caption), enabled] {
    if (!button) return;
    button->setText(text);
    button->setEnabled(enabled);
  });
}

void QtMailControls::SetMailAlertsEnabled(bool enabled) {
  bridge_->Run([box = mailAlerts_, enabled] {
    if (box) box->setEnabled(enabled);
  });
}

QtSchedulerControls::QtSchedulerControls(QPushButton* startButton, QPushButton* stopButton,
                                         QLabel* runningCount, PeriodTimer& tickTimer,
                                         PeriodTimer& sweepTimer)
    : start_(startButton),
      stop_(stopButton),
      runningCount_(runningCount),
      tickTimer_(tickTimer),
      sweepTimer_(sweepTimer) {}

void QtSchedulerControls::SetTickTimerPeriod(int milliseconds) {
  tickTimer_.SetPeriod(milliseconds);
}

void QtSchedulerControls::SetSweepTimerPeriod(int milliseconds) {
  sweepTimer_.SetPeriod(milliseconds);
}

void QtSchedulerControls::SetStartEnabled(bool enabled) {
  if (start_) start_->setEnabled(enabled);
}

void QtSchedulerControls::SetStopEnabled(bool enabled) {
  if (stop_) stop_->setEnabled(enabled);
}

void QtSchedulerControls::SetRunningCountCaption(const std::string& caption) {
  if (runningCount_) runningCount_->setText(ToQString(caption));
}

}  // namespace korvelin
