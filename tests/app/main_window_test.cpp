// The main window's layout, checked control by control against the design
// table, and the loading window's timing.
#include "app/main_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "app/splash_window.h"
#include "browser/browser_control.h"
#include "share/address_list_model.h"
#include "site/time_scale.h"

using namespace quillet;

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { window_ = new MainWindow(QStringLiteral("http://127.0.0.1:9")); }
  void cleanupTestCase() { delete window_; }

  void controls_data();
  void controls();
  void initialState();
  void addressListColumns();
  void commentPool();
  void splashFillsThenClosesOnTick101();
  void splashClosedEarlyStillShowsTheWindow_data();
  void splashClosedEarlyStillShowsTheWindow();

 private:
  MainWindow* window_ = nullptr;
};

void MainWindowTest::controls_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("parent");
  QTest::addColumn<QRect>("geometry");
  QTest::addColumn<QString>("text");

  auto row = [](const char* name, const char* kind, const char* parent, QRect geometry,
                const char* text) {
    QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(kind)
                        << QString::fromUtf8(parent) << geometry << QString::fromUtf8(text);
  };
  row("超级列表框_地址", "QTreeView", "client", {0, 0, 700, 200}, "");
  row("高级选择夹1", "QTabWidget", "client", {0, 200, 700, 192}, "");
  row("分组框2", "QGroupBox", "登录", {133, 23, 376, 166}, "");
  row("透明标签_登录提示", "QLabel", "分组框2", {69, 14, 176, 16}, "");
  row("透明标签1", "QLabel", "分组框2", {13, 38, 48, 16}, "用户名：");
  row("编辑框_用户名", "QLineEdit", "分组框2", {69, 38, 176, 24}, "");
  row("透明标签2", "QLabel", "分组框2", {13, 74, 48, 16}, "密  码：");
  row("编辑框_密码", "QLineEdit", "分组框2", {69, 70, 176, 24}, "");
  row("透明标签3", "QLabel", "分组框2", {13, 110, 48, 16}, "验证码：");
  row("编辑框_验证码", "QLineEdit", "分组框2", {69, 110, 89, 24}, "");
  row("图片框_验证码", "QLabel", "分组框2", {165, 110, 80, 24}, "");
  row("选择框_记住帐号", "QCheckBox", "分组框2", {69, 142, 104, 16}, "记住账号和密码");
  row("按钮_登录", "QPushButton", "分组框2", {264, 39, 96, 96}, "登录");
  row("分组框_按钮区", "QGroupBox", "发表", {35, 24, 520, 76}, "按钮区");
  row("按钮_打开", "QPushButton", "分组框_按钮区", {21, 22, 120, 43}, "导入地址");
  row("按钮_发表", "QPushButton", "分组框_按钮区", {198, 22, 120, 43}, "发表");
  row("按钮_失败重发", "QPushButton", "分组框_按钮区", {376, 22, 120, 43}, "失败重发");
  row("分组框_功能区", "QGroupBox", "发表", {36, 101, 520, 88}, "功能区");
  row("标签5", "QLabel", "分组框_功能区", {48, 21, 16, 20}, "①");
  row("标签1", "QLabel", "分组框_功能区", {72, 21, 56, 20}, "设定周期");
  row("编辑框_周期", "QLineEdit", "分组框_功能区", {141, 21, 64, 20}, "");
  row("标签2", "QLabel", "分组框_功能区", {212, 21, 72, 20}, "秒/地址");
  row("标签6", "QLabel", "分组框_功能区", {48, 55, 16, 20}, "②");
  row("选择框1", "QCheckBox", "分组框_功能区", {80, 56, 80, 20}, "循环分享");
  row("标签7", "QLabel", "分组框_功能区", {298, 12, 16, 20}, "③");
  row("选择框_添加评论", "QCheckBox", "分组框_功能区", {317, 12, 200, 20},
      "为商品添加随机评论（可不选择）");
  row("列表框1", "QListWidget", "分组框_功能区", {327, 35, 184, 48}, "");
  row("分组框1", "QGroupBox", "发表", {586, 26, 80, 163}, "");
  row("标签4", "QLabel", "分组框1", {16, 16, 48, 16}, "检查更新");
  row("标签3", "QLabel", "分组框1", {16, 50, 48, 16}, "联系作者");
  row("标签_版本", "QLabel", "分组框1", {7, 146, 64, 13}, "=版本 1.0=");
  row("列表框2", "QListWidget", "client", {787, 12, 24, 24}, "");
  row("超文本浏览框_网址", "quillet::BrowserControl", "client", {844, 12, 60, 60}, "");
}

void MainWindowTest::controls() {
  QFETCH(QString, name);
  QFETCH(QString, kind);
  QFETCH(QString, parent);
  QFETCH(QRect, geometry);
  QFETCH(QString, text);

  const QList<QWidget*> found = window_->findChildren<QWidget*>(name);
  QCOMPARE(found.size(), 1);
  QWidget* control = found.first();
  QVERIFY2(control->inherits(kind.toLatin1().constData()), control->metaObject()->className());
  QCOMPARE(control->parentWidget()->objectName(), parent);
  QCOMPARE(control->geometry(), geometry);
  // Controls start enabled; those on page 1 only wait for the page to open.
  QVERIFY(!control->testAttribute(Qt::WA_ForceDisabled));

  QString shown;
  if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) shown = button->text();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) shown = edit->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) shown = group->title();
  QCOMPARE(shown, text);
}

void MainWindowTest::initialState() {
  QCOMPARE(window_->size(), QSize(702, 437));
  QCOMPARE(window_->windowTitle(), QStringLiteral("Quillet"));

  QCOMPARE(window_->tabs->count(), 2);
  QCOMPARE(window_->tabs->tabText(0), QStringLiteral("登录"));
  QCOMPARE(window_->tabs->tabText(1), QStringLiteral("发表"));
  QVERIFY(window_->tabs->isTabEnabled(0));
  QVERIFY(!window_->tabs->isTabEnabled(1));
  QCOMPARE(window_->tabs->currentIndex(), 0);

  QCOMPARE(window_->password->echoMode(), QLineEdit::Password);
  QCOMPARE(window_->password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                 window_->password),
           int(u'*'));
  QVERIFY(window_->captchaPicture->pixmap().isNull());
  QVERIFY(window_->failedList->count() == 0);

  // The period field takes whole numbers only.
  const QValidator* digits = window_->period->validator();
  QVERIFY(digits != nullptr);
  for (QString typed : {QStringLiteral("21"), QStringLiteral(""), QStringLiteral("3600")}) {
    int pos = 0;
    QCOMPARE(digits->validate(typed, pos), QValidator::Acceptable);
  }
  for (QString typed : {QStringLiteral("2a"), QStringLiteral("20.9"), QStringLiteral("-5")}) {
    int pos = 0;
    QCOMPARE(digits->validate(typed, pos), QValidator::Invalid);
  }

  auto* bar = window_->findChild<QStatusBar*>(QStringLiteral("状态条1"));
  QVERIFY(bar != nullptr);
  QCOMPARE(bar->height(), 20);
  QCOMPARE(window_->statusParts[0]->text(), QStringLiteral("  状态"));
  QCOMPARE(window_->statusParts[0]->width(), 58);
  QCOMPARE(window_->statusParts[1]->width(), 450);
  QCOMPARE(window_->statusParts[2]->width(), 192);
  QVERIFY(window_->statusParts[1]->text().isEmpty());
  QVERIFY(window_->statusParts[2]->text().isEmpty());

  // Both off-screen controls lie wholly outside the client area.
  const QRect client = window_->centralWidget()->rect();
  QVERIFY(!client.intersects(window_->failedList->geometry()));
  QVERIFY(!client.intersects(window_->browser->geometry()));
}

void MainWindowTest::addressListColumns() {
  QTreeView* view = window_->addressView;
  QCOMPARE(view->model()->columnCount(), 3);
  const QString spaces(31, u' ');
  QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(),
           spaces + QStringLiteral("地址"));
  QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("状态"));
  QCOMPARE(view->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("发布时间"));
  QCOMPARE(view->columnWidth(0), 400);
  QCOMPARE(view->columnWidth(1), 100);
  QCOMPARE(view->columnWidth(2), 200);
  QCOMPARE(view->model()->rowCount(), 0);
}

void MainWindowTest::commentPool() {
  const QStringList expected = {
      QStringLiteral("这款宝贝真给力"),       QStringLiteral("超漂亮，超时尚"),
      QStringLiteral("买vo商品，爽四季心情"), QStringLiteral("你确定你不需要么？"),
      QStringLiteral("开张新品，折上折"),     QStringLiteral("偶遇？还是缘分让我视觉受到冲击"),
      QStringLiteral("推荐！推荐！推荐！"),   QStringLiteral("商品你我他，成就千万家"),
      QStringLiteral("今年的潮流服饰在这里"), QStringLiteral("用美的装扮去引领生活的节奏")};
  QCOMPARE(window_->commentPool->count(), 10);
  for (int i = 0; i < 10; ++i) QCOMPARE(window_->commentPool->item(i)->text(), expected[i]);
}

void MainWindowTest::splashFillsThenClosesOnTick101() {
  QWidget target;
  SplashWindow splash(&target);
  QCOMPARE(splash.size(), QSize(457, 32));
  auto* bar = splash.findChild<QProgressBar*>(QStringLiteral("进度条1"));
  auto* label = splash.findChild<QLabel*>(QStringLiteral("标签1"));
  auto* clock = splash.findChild<QTimer*>(QStringLiteral("时钟1"));
  QVERIFY(bar && label && clock);
  QCOMPARE(label->text(), QStringLiteral("欢迎使用Quillet，软件正在加载中……"));
  QCOMPARE(label->geometry(), QRect(-2, 0, 460, 16));
  QCOMPARE(bar->geometry(), QRect(-1, 16, 460, 12));
  QCOMPARE(bar->minimum(), 0);
  QCOMPARE(bar->maximum(), 100);
  QCOMPARE(bar->value(), 0);
  QCOMPARE(SplashWindow::splashTicks(), 0);

  // Record every position the bar takes and whether the window is still open then.
  QList<int> positions;
  bool openAtHundred = false;
  connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
    positions << value;
    if (value == 100) openAtHundred = splash.isVisible() && !target.isVisible();
  });
  QSignalSpy closed(&splash, &QDialog::finished);
  QVERIFY(!target.isVisible());
  splash.open();
  QVERIFY(closed.wait(30000));

  QList<int> expected;
  for (int i = 1; i <= 100; ++i) expected << i;
  QCOMPARE(positions, expected);  // one step a tick, 1 to 100
  QVERIFY(openAtHundred);         // position 100 does not close it yet
  QVERIFY(target.isVisible());    // the 101st tick shows the main window ...
  QVERIFY(!splash.isVisible());   // ... and closes the loading window
  QCOMPARE(SplashWindow::splashTicks(), 0);
  QCOMPARE(bar->value(), 100);
}

void MainWindowTest::splashClosedEarlyStillShowsTheWindow_data() {
  QTest::addColumn<bool>("byEscape");
  QTest::newRow("Esc") << true;
  QTest::newRow("window manager close") << false;
}

// Closing the loading window before its 101st tick only ends the animation:
// the main window still appears, and the tick does not run on.
void MainWindowTest::splashClosedEarlyStillShowsTheWindow() {
  QFETCH(bool, byEscape);
  // Full-length ticks, so that the close surely comes before the last one.
  const double scale = timeScale();
  setTimeScale(1.0);
  const auto restore = qScopeGuard([scale] { setTimeScale(scale); });
  QWidget target;
  SplashWindow splash(&target);
  auto* bar = splash.findChild<QProgressBar*>(QStringLiteral("进度条1"));
  auto* clock = splash.findChild<QTimer*>(QStringLiteral("时钟1"));
  QVERIFY(bar && clock);
  splash.show();
  QVERIFY(QTest::qWaitForWindowExposed(&splash));
  QTRY_VERIFY_WITH_TIMEOUT(SplashWindow::splashTicks() >= 3, 10000);
  QVERIFY(bar->value() < 100);
  if (byEscape) {
    QTest::keyClick(&splash, Qt::Key_Escape);
  } else {
    QVERIFY(splash.close());
  }
  QVERIFY(!splash.isVisible());
  QVERIFY(target.isVisible());
  QVERIFY(!clock->isActive());
  QCOMPARE(SplashWindow::splashTicks(), 0);
  const int stoppedAt = bar->value();
  QTest::qWait(200);
  QCOMPARE(bar->value(), stoppedAt);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
