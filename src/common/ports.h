// What the core needs from the desktop. The app implements these on Qt (every call may
// come from any thread; the app hands widget work to the UI thread), tests in memory.
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

// The activity log box. Append adds one whole entry (code page 936) at the end; entries
// from different threads never mix.
class ActivityLog {
 public:
  virtual ~ActivityLog() = default;
  virtual void Append(const std::string& entry) = 0;
};

// The icon of a tray balloon; any other value counts as Information.
enum class BalloonIcon { None = 0, Information = 1, Warning = 2, Error = 3 };

// Desktop actions and the main window's flags.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // Opens an address (a code page 936 text) or an absolute file path (the file system's
  // bytes, see files.h) with the desktop's default application.
  virtual void OpenAddress(const std::string& address) = 0;
  // A balloon notice at the tray icon; true when the notice was accepted.
  virtual bool ShowTrayBalloon(const std::string& title, const std::string& message,
                               BalloonIcon icon, int displayMilliseconds) = 0;
  // Starts one playback of a RIFF/WAVE sound held in memory and returns at once. A
  // missing or busy audio device skips the playback silently.
  virtual void PlayAlarm(std::string_view wave) = 0;
  virtual bool IsMainWindowVisible() = 0;
  virtual bool IsMainWindowMinimised() = 0;
  // MainWindowActive: true while the main window is the active window.
  virtual bool IsMainWindowActive() = 0;
  // A message box with one OK button and no owner; returns without waiting for the user.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
};

// The mail buttons and the mail alert check box, as the mail notifier changes them. Called
// from worker threads; the app hands each call to the UI thread.
class MailControls {
 public:
  virtual ~MailControls() = default;
  virtual void SetConnectButton(const std::string& caption, bool enabled) = 0;  // 按钮重新链接邮件
  virtual void SetTestButton(const std::string& caption, bool enabled) = 0;  // 按钮发送测试邮件
  virtual void SetMailAlertsEnabled(bool enabled) = 0;  // 选择框开启邮件通知
};

}  // namespace korvelin
