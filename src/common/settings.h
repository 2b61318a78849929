// The settings controls of the main window as the workers read them. The app writes every
// change of a tick or a text into this store on the UI thread; workers read a value at the
// moment a step needs it. Each read and write is atomic.
#pragma once

#include <mutex>
#include <string>

namespace korvelin {

enum class Tick {
  Sound,         // 选择框报警 "开启声音提醒", ticked at start
  MailAlerts,    // 选择框开启邮件通知 "开启邮件通知"
  OpenPage,      // 选择框自动打开链接 "有货自动打开网页"
  Balloon,       // 选择框气泡提醒 "最小化时弹出气泡", ticked at start
  Sms,           // 选择框短息通知 "开启短信提醒(3条/天)"
  Timeout,       // 选择框超时跳过 "超时"
  ShowPassword,  // 选择框显示密码 "显示密码"
  Count_
};

enum class Edit {
  Phone,      // 编辑框手机号码, empty
  Frequency,  // 编辑框频率, "5"
  Timeout,    // 编辑框超时跳过, "15"
  Sender,     // 编辑框发件邮箱, "@qq.com"
  Password,   // 编辑框发件密码, empty
  Recipient,  // 编辑框收件邮箱, empty
  Count_
};

class Settings {
 public:
  Settings();  // the start values of the form
  bool IsTicked(Tick box) const;
  void SetTicked(Tick box, bool ticked);
  // Code page 936 text.
  std::string Text(Edit box) const;
  void SetText(Edit box, std::string text);

 private:
  mutable std::mutex mutex_;
  bool ticks_[static_cast<int>(Tick::Count_)] = {};
  std::string texts_[static_cast<int>(Edit::Count_)];
};

}  // namespace korvelin
