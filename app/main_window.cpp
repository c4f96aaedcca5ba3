#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>

#include "app/balloon_tip.h"
#include "app/clickable_label.h"
#include "app/tab_control.h"
#include "browser/browser_control.h"
#include "app/address_view.h"
#include "share/address_list_model.h"
#include "site/comment_pool.h"

namespace quillet {
namespace {

/// Masks the password field with '*' rather than the platform's bullet.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return u'*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

template <typename W>
W* place(W* widget, const char16_t* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromUtf16(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* label(QWidget* parent, const char16_t* name, const QString& text, int left, int top,
              int width, int height) {
  return place(new QLabel(text, parent), name, left, top, width, height);
}

}  // namespace

MainWindow::MainWindow(const QString& siteBase, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Quillet"));
  setFixedSize(kWidth, kHeight);

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);

  buildAddressList();

  tabs = place(new TabControl(client), u"高级选择夹1", 0, 200, 700, 192);
  auto* loginPage = new QWidget;
  loginPage->setObjectName(QStringLiteral("登录"));
  auto* publishPage = new QWidget;
  publishPage->setObjectName(QStringLiteral("发表"));
  tabs->addTab(loginPage, QStringLiteral("登录"));
  tabs->addTab(publishPage, QStringLiteral("发表"));
  tabs->setTabEnabled(1, false);
  buildLoginPage(loginPage);
  buildPublishPage(publishPage);

  buildStatusBar();

  // Kept outside the visible client area: the failed-address list is never
  // seen, and the browser holds the signed-in session without being shown.
  failedList = place(new QListWidget(client), u"列表框2", 787, 12, 24, 24);
  browser = place(new BrowserControl(client), u"超文本浏览框_网址", 844, 12, 60, 60);
  browser->navigate(siteBase + QLatin1String("/users/logout"));

  balloon = new BalloonTip(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildAddressList() {
  addressList = new AddressListModel(this);
  addressView = place(new QTreeView(centralWidget()), u"超级列表框_地址", 0, 0, 700, 200);
  configureAddressView(addressView, addressList);
}

void MainWindow::buildLoginPage(QWidget* page) {
  loginGroup = place(new QGroupBox(page), u"分组框2", 133, 23, 376, 166);
  QWidget* g = loginGroup;
  loginHint = label(g, u"透明标签_登录提示", QString(), 69, 14, 176, 16);
  label(g, u"透明标签1", QStringLiteral("用户名："), 13, 38, 48, 16);
  userName = place(new QLineEdit(g), u"编辑框_用户名", 69, 38, 176, 24);
  label(g, u"透明标签2", QStringLiteral("密  码："), 13, 74, 48, 16);
  password = place(new QLineEdit(g), u"编辑框_密码", 69, 70, 176, 24);
  password->setEchoMode(QLineEdit::Password);
  auto* star = new StarPasswordStyle;
  star->setParent(password);
  password->setStyle(star);
  label(g, u"透明标签3", QStringLiteral("验证码："), 13, 110, 48, 16);
  captcha = place(new QLineEdit(g), u"编辑框_验证码", 69, 110, 89, 24);
  captchaPicture = place(new QLabel(g), u"图片框_验证码", 165, 110, 80, 24);
  captchaPicture->setScaledContents(false);
  remember = place(new QCheckBox(QStringLiteral("记住账号和密码"), g), u"选择框_记住帐号", 69, 142,
                   104, 16);
  loginButton = place(new QPushButton(QStringLiteral("登录"), g), u"按钮_登录", 264, 39, 96, 96);
}

void MainWindow::buildPublishPage(QWidget* page) {
  auto* buttons =
      place(new QGroupBox(QStringLiteral("按钮区"), page), u"分组框_按钮区", 35, 24, 520, 76);
  importButton =
      place(new QPushButton(QStringLiteral("导入地址"), buttons), u"按钮_打开", 21, 22, 120, 43);
  publishButton =
      place(new QPushButton(QStringLiteral("发表"), buttons), u"按钮_发表", 198, 22, 120, 43);
  resendButton = place(new QPushButton(QStringLiteral("失败重发"), buttons), u"按钮_失败重发", 376,
                       22, 120, 43);

  auto* options =
      place(new QGroupBox(QStringLiteral("功能区"), page), u"分组框_功能区", 36, 101, 520, 88);
  label(options, u"标签5", QStringLiteral("①"), 48, 21, 16, 20);
  label(options, u"标签1", QStringLiteral("设定周期"), 72, 21, 56, 20);
  period = place(new QLineEdit(options), u"编辑框_周期", 141, 21, 64, 20);
  period->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), period));
  label(options, u"标签2", QStringLiteral("秒/地址"), 212, 21, 72, 20);
  label(options, u"标签6", QStringLiteral("②"), 48, 55, 16, 20);
  loopSharing =
      place(new QCheckBox(QStringLiteral("循环分享"), options), u"选择框1", 80, 56, 80, 20);
  label(options, u"标签7", QStringLiteral("③"), 298, 12, 16, 20);
  addComment = place(new QCheckBox(QStringLiteral("为商品添加随机评论（可不选择）"), options),
                     u"选择框_添加评论", 317, 12, 200, 20);
  commentPool = place(new QListWidget(options), u"列表框1", 327, 35, 184, 48);
  commentPool->addItems(commentPoolTexts());
  commentPool->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto* info = place(new QGroupBox(page), u"分组框1", 586, 26, 80, 163);
  updateLabel =
      place(new ClickableLabel(QStringLiteral("检查更新"), info), u"标签4", 16, 16, 48, 16);
  contactLabel =
      place(new ClickableLabel(QStringLiteral("联系作者"), info), u"标签3", 16, 50, 48, 16);
  for (ClickableLabel* link : {updateLabel, contactLabel}) link->setCursor(Qt::PointingHandCursor);
  label(info, u"标签_版本", QStringLiteral("=版本 1.0="), 7, 146, 64, 13);
}

void MainWindow::buildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName(QStringLiteral("状态条1"));
  bar->setSizeGripEnabled(false);
  bar->setFixedHeight(20);
  setStatusBar(bar);
  static constexpr int kPartWidths[3] = {58, 450, 192};
  for (int part = 0; part < 3; ++part) {
    statusParts[part] = new QLabel(bar);
    statusParts[part]->setObjectName(QStringLiteral("状态条1_%1").arg(part));
    statusParts[part]->setFixedWidth(kPartWidths[part]);
    bar->addWidget(statusParts[part]);
  }
  statusParts[0]->setText(QStringLiteral("  状态"));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  Q_EMIT closing();
}

}  // namespace quillet
