#pragma once

#include <QMainWindow>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTreeView;

namespace quillet {

class AddressListModel;
class BalloonTip;
class BrowserControl;
class ClickableLabel;

/// The main window: the address list above a two-page tab control (登录 and
/// 发表), the status bar, and the two controls kept outside the visible area
/// (the failed-address list and the hidden browser). It only lays the
/// controls out; the routines behind them are bound in app/main_window_binder.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kWidth = 702;
  static constexpr int kHeight = 437;

  /// `siteBase` gives the browser's first address (its logout page).
  explicit MainWindow(const QString& siteBase, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Controls, by the names the rest of the program uses.
  QTreeView* addressView;         // 超级列表框_地址
  AddressListModel* addressList;  // its rows
  QTabWidget* tabs;               // 高级选择夹1
  QLabel* statusParts[3];         // 状态条1, parts 0 to 2

  QGroupBox* loginGroup;     // 分组框2
  QLabel* loginHint;         // 透明标签_登录提示
  QLineEdit* userName;       // 编辑框_用户名
  QLineEdit* password;       // 编辑框_密码
  QLineEdit* captcha;        // 编辑框_验证码
  QLabel* captchaPicture;    // 图片框_验证码
  QCheckBox* remember;       // 选择框_记住帐号
  QPushButton* loginButton;  // 按钮_登录

  QPushButton* importButton;     // 按钮_打开
  QPushButton* publishButton;    // 按钮_发表
  QPushButton* resendButton;     // 按钮_失败重发
  QLineEdit* period;             // 编辑框_周期
  QCheckBox* loopSharing;        // 选择框1
  QCheckBox* addComment;         // 选择框_添加评论
  QListWidget* commentPool;      // 列表框1
  ClickableLabel* updateLabel;   // 标签4
  ClickableLabel* contactLabel;  // 标签3

  QListWidget* failedList;  // 列表框2
  BrowserControl* browser;  // 超文本浏览框_网址
  BalloonTip* balloon;      // 气球提示框1

 Q_SIGNALS:
  /// The user closed the window.
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildAddressList();
  void buildLoginPage(QWidget* page);
  void buildPublishPage(QWidget* page);
  void buildStatusBar();
};

}  // namespace quillet
