// Typed handles to the controls of the main window's two pages and of the product dialog.
// The code that creates a control stores it here, and everything else reaches the control
// through these handles, never by looking it up by name: a control that was not made shows
// up as a null handle at the one place that fills it. Every control keeps its form name as
// its objectName (the tests and the end-to-end run find the controls by it). The controls
// are owned by their parent widgets; a handle owns nothing.
#pragma once

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace korvelin {

class LogView;

// The seven buttons above the product list; the list commands connect them.
struct ListButtons {
  QPushButton* importList = nullptr;  // 按钮导入产品
  QPushButton* addOne = nullptr;      // 按钮加入一个产品
  QPushButton* clear = nullptr;       // 按钮清空产品列表
  QPushButton* exportList = nullptr;  // 按钮导出产品列表
  QPushButton* checkAll = nullptr;    // 按钮全选
  QPushButton* uncheckAll = nullptr;  // 按钮全不选
  QPushButton* invert = nullptr;      // 按钮反选
};

// Page 0, "监控设置", in the order the controls are made.
struct MonitorPage {
  QCheckBox* sound = nullptr;           // 选择框报警
  QCheckBox* mailAlerts = nullptr;      // 选择框开启邮件通知
  QCheckBox* openPage = nullptr;        // 选择框自动打开链接
  QCheckBox* balloon = nullptr;         // 选择框气泡提醒
  QCheckBox* sms = nullptr;             // 选择框短息通知
  QCheckBox* timeout = nullptr;         // 选择框超时跳过
  QLineEdit* phone = nullptr;           // 编辑框手机号码
  QLineEdit* frequency = nullptr;       // 编辑框频率
  QLineEdit* timeoutSeconds = nullptr;  // 编辑框超时跳过
  QLabel* frequencyLabel = nullptr;     // 标签1
  QLabel* secondsLabel = nullptr;       // 标签12
  QLabel* runningCount = nullptr;       // 标签当前监控数
  QPushButton* start = nullptr;         // 按钮开始监控
  QPushButton* stop = nullptr;          // 按钮停止监控
  ListButtons listButtons;              // the seven list buttons
  LogView* log = nullptr;               // 编辑框日志
  QTreeWidget* productList = nullptr;   // 超级列表框监控列表
  QPlainTextEdit* ledgerBox = nullptr;  // 编辑框通知状态栏
};

// Page 1, "邮箱设置/帮助", in the order the controls are made.
struct MailPage {
  QGroupBox* mailGroup = nullptr;        // 分组框邮箱设置
  QLabel* senderLabel = nullptr;         // 标签3
  QLabel* passwordLabel = nullptr;       // 标签4
  QLabel* recipientLabel = nullptr;      // 标签5
  QLabel* sameAddressNote = nullptr;     // 标签6
  QLineEdit* sender = nullptr;           // 编辑框发件邮箱
  QLineEdit* password = nullptr;         // 编辑框发件密码
  QLineEdit* recipient = nullptr;        // 编辑框收件邮箱
  QCheckBox* showPassword = nullptr;     // 选择框显示密码
  QPushButton* connectButton = nullptr;  // 按钮重新链接邮件
  QPushButton* testButton = nullptr;     // 按钮发送测试邮件
  QGroupBox* helpGroup = nullptr;        // 分组框2
  QLabel* helpStep1 = nullptr;           // 标签7
  QLabel* helpStep2 = nullptr;           // 标签8
  QLabel* helpStep3 = nullptr;           // 标签9
  QLabel* helpNote = nullptr;            // 标签10
  QLabel* helpPicture1 = nullptr;        // 图片框1
  QLabel* helpPicture2 = nullptr;        // 图片框2
  QLabel* helpPicture3 = nullptr;        // 图片框3
  QGroupBox* smsGroup = nullptr;         // 分组框3
  QLabel* smsPicture = nullptr;          // 图片框4
  QLabel* smsNote = nullptr;             // 标签11
};

// The product dialog "加入一个产品".
struct ProductDialogWidgets {
  QLabel* nameLabel = nullptr;     // 标签1
  QLineEdit* name = nullptr;       // 编辑框产品名称
  QLabel* codeLabel = nullptr;     // 标签2
  QLineEdit* code = nullptr;       // 编辑框产品编码
  QLabel* priceLabel = nullptr;    // 标签3
  QLineEdit* price = nullptr;      // 编辑框设定价格
  QLabel* countryLabel = nullptr;  // 标签4
  QComboBox* country = nullptr;    // 组合框1
  QPushButton* confirm = nullptr;  // 按钮1
};

}  // namespace korvelin
