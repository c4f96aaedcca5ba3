// What the window tells a user, through the window on the demo site: the
// questions before results are thrown away, the row a pass works on kept in
// view, the counts, round and real time per address in the status bar, the
// period's gap as a pass starts, the settings and the export folder kept for
// the next start, and Qt's own texts in Chinese.
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "app/address_list_menu.h"
#include "app/application.h"
#include "app/list_actions.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/status_tally_label.h"
#include "browser/browser_control.h"
#include "config/app_config.h"
#include "demo/demo_site.h"
#include "journal/journal.h"
#include "share/address_list_model.h"
#include "share/discard_question.h"
#include "share/row_pacing.h"
#include "share/share_engine.h"
#include "site/time_scale.h"
#include "tests/doubles/recording_dialogs.h"

using namespace quillet;

namespace {

constexpr char kCaptcha[] = "7139";
constexpr int kFailingItem = 503;

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace

class WindowFeedbackTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void questionsBeforeResultsAreThrownAway();
  void aLoopShowsItsRowCountsRoundAndPace();
  void settingsAndExportFolderKeptForTheNextStart();
  void qtTextsInChinese();

 private:
  std::unique_ptr<Application> start(const QString& dataDir);
  bool signIn(MainWindow& w);

  std::unique_ptr<DemoSite> site_;
  RecordingDialogs dialogs_;
};

void WindowFeedbackTest::initTestCase() {
  DemoOptions options;
  options.fixedCaptcha = kCaptcha;
  options.failItems = {kFailingItem};
  site_ = std::make_unique<DemoSite>(options);
  QVERIFY(site_->start());
}

std::unique_ptr<Application> WindowFeedbackTest::start(const QString& dataDir) {
  AppConfig config;
  config.siteBase = QString::fromStdString(site_->baseUrl());
  config.dataDir = dataDir;
  auto app = std::make_unique<Application>(config, &dialogs_);
  if (!app->lockDataFolder()) return app;
  app->onMainWindowCreated();
  return app;
}

bool WindowFeedbackTest::signIn(MainWindow& w) {
  if (!QTest::qWaitFor([&] { return !w.browser->isLoading(); }, 20000)) return false;
  w.userName->setText(QStringLiteral("demo"));
  w.password->setText(QStringLiteral("demo123"));
  w.captcha->setText(QString::fromLatin1(kCaptcha));
  QTest::mouseClick(w.loginButton, Qt::LeftButton);
  return w.tabs->isTabEnabled(1);
}

// 失败重发 and 清空列表 on a list that holds results ask first, naming how
// many rows hold them; No leaves everything as it was. Without results
// nothing is asked.
void WindowFeedbackTest::questionsBeforeResultsAreThrownAway() {
  QTemporaryDir data;
  const QStringList addresses{
      QStringLiteral("http://item.example/a"), QStringLiteral("http://item.example/b"),
      QStringLiteral("http://item.example/c"), QStringLiteral("http://item.example/d")};
  {
    Journal journal;
    QVERIFY(journal.open(data.path()));
    QList<JournalRow> rows;
    for (const QString& a : addresses) rows.append(JournalRow{a, {}, {}});
    QVERIFY(journal.replaceRows(rows));
    QVERIFY(journal.setOutcome(0, QStringLiteral("成功"), QStringLiteral("2026-12-09 01:00:00")));
    QVERIFY(journal.setStatus(1, QStringLiteral("失败")));
    QVERIFY(journal.setStatus(2, QStringLiteral("地址错误")));
    QVERIFY(journal.setFailedAddresses({addresses[1]}));
  }
  auto app = start(data.path());
  MainWindow& w = app->window();
  QVERIFY(signIn(w));
  AddressListModel& list = *w.addressList;
  QCOMPARE(list.rowCountInt(), 4);
  AddressListMenu* menu = w.findChild<AddressListMenu*>();
  QVERIFY(menu != nullptr);

  // No to 失败重发: the list, its results and the idle engine stay.
  dialogs_.clearMessages();
  dialogs_.setNextAnswer(false);
  QTest::mouseClick(w.resendButton, Qt::LeftButton);
  QCOMPARE(dialogs_.messages().size(), 1);
  QVERIFY(dialogs_.lastMessage().question);
  QCOMPARE(dialogs_.lastMessage().title, QStringLiteral("失败重发"));
  QCOMPARE(dialogs_.lastMessage().text, resendDiscardQuestion(3));
  QVERIFY(dialogs_.lastMessage().text.contains(QStringLiteral("列表中有3行分享结果")));
  QCOMPARE(list.rowCountInt(), 4);
  QCOMPARE(list.cell(0, 1), QStringLiteral("成功"));
  QVERIFY(!app->shareEngine().isRunning());

  // No to 清空列表: the same.
  dialogs_.clearMessages();
  dialogs_.setNextAnswer(false);
  menu->refresh();
  QVERIFY(menu->clearListAction->isEnabled());
  menu->clearListAction->trigger();
  QCOMPARE(dialogs_.messages().size(), 1);
  QCOMPARE(dialogs_.lastMessage().title, QStringLiteral("清空列表"));
  QCOMPARE(dialogs_.lastMessage().text, clearDiscardQuestion(3));
  QCOMPARE(list.rowCountInt(), 4);

  // A row whose status was cleared keeps its time: still a result.
  list.setCell(0, AddressListModel::StatusColumn, QString());
  QCOMPARE(rowsWithResults(list), 3);

  // Yes to 失败重发: the failed address replaces the list (no period: the
  // pass is refused after the replacement, as without a question).
  w.period->clear();
  dialogs_.clearMessages();
  dialogs_.setNextAnswer(true);
  QTest::mouseClick(w.resendButton, Qt::LeftButton);
  QCOMPARE(list.rowCountInt(), 1);
  QCOMPARE(list.cell(0), addresses[1]);
  QCOMPARE(dialogs_.messages().size(), 2);
  QCOMPARE(dialogs_.messages().last().text, refusalText(Refusal::NothingToShare));

  // A list without results is cleared without a question.
  dialogs_.clearMessages();
  menu->clearListAction->trigger();
  QCOMPARE(list.rowCountInt(), 0);
  QVERIFY(dialogs_.messages().isEmpty());
}

// A loop over a list longer than the view: the row being shared is the
// selected one and in sight; the status bar says what gap the period gives
// as the run starts, then the list's counts, the time an address really
// took (the one measured here between results) and the round.
void WindowFeedbackTest::aLoopShowsItsRowCountsRoundAndPace() {
  QTemporaryDir data;
  site_->clearShares();
  auto app = start(data.path());
  MainWindow& w = app->window();
  QVERIFY(signIn(w));
  constexpr int kRows = 13;
  QStringList lines;
  for (int i = 0; i < kRows; ++i) lines << QString::fromStdString(site_->itemUrl(900 + i));
  lines[4] = QString::fromStdString(site_->itemUrl(kFailingItem));
  lines[7] = QString::fromStdString(site_->baseUrl()) + QStringLiteral("/goods/7");
  const QString file = data.filePath(QStringLiteral("list.txt"));
  QVERIFY(writeFile(file, (lines.join(u'\n') + u'\n').toUtf8()));
  dialogs_.setNextFileName(file);
  QTest::mouseClick(w.importButton, Qt::LeftButton);
  QCOMPARE(w.addressList->rowCountInt(), kRows);
  w.period->setText(QStringLiteral("21"));
  w.loopSharing->setChecked(true);
  ShareEngine& engine = app->shareEngine();
  QTreeView* view = w.addressView;
  auto* tally = w.findChild<StatusTallyLabel*>(QStringLiteral("状态条1_统计"));
  QVERIFY(tally != nullptr);

  QString atStart;
  int passes = 0;
  QList<int> notFollowed;  // rows not selected, or not in sight, when their result came
  QList<qint64> finishedAtMs;
  QString tallyEndOfRound1, tallyInRound2;
  QElapsedTimer clock;
  connect(&engine, &ShareEngine::passStarted, this, [&] {
    if (++passes == 1) {
      atStart = w.statusParts[1]->text();
      clock.start();
    }
  });
  connect(&engine, &ShareEngine::rowFinished, this, [&](int row) {
    const QModelIndex index = view->model()->index(row, 0);
    const bool inSight = view->viewport()->rect().contains(view->visualRect(index));
    if (view->currentIndex().row() != row || !view->selectionModel()->isRowSelected(row) ||
        !inSight) {
      notFollowed << row;
    }
    if (passes == 1) {
      finishedAtMs << clock.elapsed();
      if (row == kRows - 1) tallyEndOfRound1 = tally->fullText();
    } else {
      tallyInRound2 = tally->fullText();
      view->setFocus();
      QTest::keyClick(view, Qt::Key_Escape);  // stop
    }
  });
  QSignalSpy ended(&engine, &ShareEngine::runEnded);
  QTest::mouseClick(w.publishButton, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= 1, 300000);

  QCOMPARE(atStart, pacingText(21.0));
  QCOMPARE(atStart, QStringLiteral(
                        "周期21秒：每个地址约17.6秒＋网页加载（固定17.6秒；周期25秒以内不另等）"));
  QCOMPARE(notFollowed, QList<int>{});
  QCOMPARE(finishedAtMs.size(), kRows);

  // End of round 1: counts as the list holds them, the time per address as
  // measured between the first and the last result, round 1.
  static const QRegularExpression shape(
      QStringLiteral("^成功 11 失败 1 地址错误 1 · 实际每个约([0-9.]+)秒 · 第1轮$"));
  const QRegularExpressionMatch m = shape.match(tallyEndOfRound1);
  QVERIFY2(m.hasMatch(), qPrintable(tallyEndOfRound1));
  const double measured = double(finishedAtMs.last() - finishedAtMs.first()) / 1000.0 / (kRows - 1);
  QVERIFY2(std::abs(m.captured(1).toDouble() - measured) <= 0.1 + 0.05 * measured,
           qPrintable(QStringLiteral("shown %1, measured %2").arg(m.captured(1)).arg(measured)));
  // A good row alone takes its fixed waits; the wrong address's row less.
  QVERIFY2(measured >= RowWaits::kTotalSeconds * timeScale() * (kRows - 3) / (kRows - 1),
           qPrintable(QString::number(measured)));

  // Round 2 starts with the statuses cleared: its own counts, round 2.
  QVERIFY2(tallyInRound2.startsWith(QStringLiteral("成功 1 失败 0 地址错误 0 · 实际每个约")),
           qPrintable(tallyInRound2));
  QVERIFY2(tallyInRound2.endsWith(QStringLiteral(" · 第2轮")), qPrintable(tallyInRound2));
  QCOMPARE(w.statusParts[1]->text(), QStringLiteral("已停止"));
  // The tally sits beside the part's text without covering it.
  QVERIFY(tally->isVisible());
  QVERIFY(tally->geometry().left() >=
          w.statusParts[1]->fontMetrics().horizontalAdvance(w.statusParts[1]->text()));
  QVERIFY(tally->geometry().right() <= w.statusParts[1]->width());
}

// Period, loop and comment as last set come back at the next start; a value
// the window cannot hold is ignored. Exports start in the folder of the
// last one, also after a new start, and the status bar says where the file
// went.
void WindowFeedbackTest::settingsAndExportFolderKeptForTheNextStart() {
  QTemporaryDir data;
  QTemporaryDir elsewhere;
  const QString folder = QDir(elsewhere.path()).filePath(QStringLiteral("导出"));
  QVERIFY(QDir().mkpath(folder));
  const QString csv = QDir(folder).filePath(QStringLiteral("结果.csv"));
  {
    auto app = start(data.path());
    MainWindow& w = app->window();
    QCOMPARE(w.period->text(), QString());
    QVERIFY(!w.loopSharing->isChecked());
    QVERIFY(!w.addComment->isChecked());
    w.period->setText(QStringLiteral("35"));
    w.loopSharing->setChecked(true);
    w.addComment->setChecked(true);
    const QString list = data.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeFile(list, "http://item.example/1\n"));
    QCOMPARE(app->shareEngine().importFile(list).inserted, 1);

    dialogs_.setNextSaveFileName(csv);
    w.addressView->setFocus();
    QTest::keyClick(w.addressView, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(QFile::exists(csv));
    QVERIFY(dialogs_.lastSuggestedPath().startsWith(QDir::homePath() + u'/'));
    QCOMPARE(w.statusParts[1]->text(), QStringLiteral("已导出到") + csv);
  }
  {
    auto app = start(data.path());
    MainWindow& w = app->window();
    QCOMPARE(w.period->text(), QStringLiteral("35"));
    QVERIFY(w.loopSharing->isChecked());
    QVERIFY(w.addComment->isChecked());
    dialogs_.setNextSaveFileName(QString());  // cancelled
    QTest::keyClick(w.addressView, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(QFileInfo(dialogs_.lastSuggestedPath()).absolutePath(), folder);
    // Unticked and emptied are kept as well.
    w.loopSharing->setChecked(false);
    w.period->clear();
  }
  {
    auto app = start(data.path());
    QVERIFY(!app->window().loopSharing->isChecked());
    QCOMPARE(app->window().period->text(), QString());
  }
  // A hand-edited file with a period the field would refuse.
  {
    QSettings file(data.filePath(QStringLiteral("window.ini")), QSettings::IniFormat);
    file.setValue(QStringLiteral("share/period"), QStringLiteral("21; rm -rf"));
  }
  auto app = start(data.path());
  QCOMPARE(app->window().period->text(), QString());
  QVERIFY(app->window().addComment->isChecked());
}

// Qt's dialogs speak Chinese once its translations are loaded: the buttons
// of a question and the file dialog's own labels.
void WindowFeedbackTest::qtTextsInChinese() {
  QVERIFY(loadQtTranslations(*qApp));
  QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No);
  QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text().remove(u'&'),
           QStringLiteral("是(Y)").remove(u'&'));
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
  bool chinese = false;
  for (const QLabel* label : labels)
    chinese = chinese || label->text().contains(QStringLiteral("文件"));
  QVERIFY(chinese);
}

QTEST_MAIN(WindowFeedbackTest)
#include "window_feedback_test.moc"
