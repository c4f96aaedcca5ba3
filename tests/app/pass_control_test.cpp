// The journal and pass control through the window, as a user meets them:
// a restored, interrupted list; the list's context menu and shortcuts;
// pause, continue and stop during a pass on the demo site; the title's
// progress; one Quillet per data folder; a broken journal file.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "app/address_list_menu.h"
#include "app/application.h"
#include "app/list_actions.h"
#include "app/main_window.h"
#include "browser/browser_control.h"
#include "config/app_config.h"
#include "demo/demo_site.h"
#include "journal/data_folder_lock.h"
#include "journal/journal.h"
#include "share/address_list_model.h"
#include "share/designed_waits.h"
#include "share/share_engine.h"
#include "share/share_journal.h"
#include "site/time_scale.h"
#include "tests/doubles/recording_dialogs.h"

using namespace quillet;

namespace {

constexpr char kCaptcha[] = "7139";

QList<JournalRow> rowsOf(const QStringList& addresses) {
  QList<JournalRow> rows;
  for (const QString& a : addresses) rows.append(JournalRow{a, {}, {}});
  return rows;
}

void selectRows(QTreeView* view, const QList<int>& rows) {
  view->clearSelection();
  for (int row : rows)
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

}  // namespace

class PassControlTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void restoredInterruptedListAndItsMenu();
  void brokenJournalIsToldAndSetAside();
  void unwritableFolderGoesOnInMemory();
  void pauseContinueAndStopDuringAPass();
  void accountNameInTheTitle();

 private:
  std::unique_ptr<Application> start(const QString& dataDir, const QString& account = {});
  bool signIn(MainWindow& w);

  std::unique_ptr<DemoSite> site_;
  RecordingDialogs dialogs_;
};

void PassControlTest::initTestCase() {
  DemoOptions options;
  options.fixedCaptcha = kCaptcha;
  site_ = std::make_unique<DemoSite>(options);
  QVERIFY(site_->start());
}

std::unique_ptr<Application> PassControlTest::start(const QString& dataDir,
                                                    const QString& account) {
  AppConfig config;
  config.siteBase = QString::fromStdString(site_->baseUrl());
  config.dataDir = dataDir;
  config.accountName = account;
  auto app = std::make_unique<Application>(config, &dialogs_);
  if (!app->lockDataFolder()) return app;
  app->onMainWindowCreated();
  return app;
}

bool PassControlTest::signIn(MainWindow& w) {
  if (!QTest::qWaitFor([&] { return !w.browser->isLoading(); }, 20000)) return false;
  w.userName->setText(QStringLiteral("demo"));
  w.password->setText(QStringLiteral("demo123"));
  w.captcha->setText(QString::fromLatin1(kCaptcha));
  QTest::mouseClick(w.loginButton, Qt::LeftButton);
  return w.tabs->isTabEnabled(1);
}

void PassControlTest::restoredInterruptedListAndItsMenu() {
  QTemporaryDir data;
  const QStringList addresses{
      QStringLiteral("http://item.example/a"), QStringLiteral("http://item.example/b"),
      QStringLiteral("http://item.example/c"), QStringLiteral("http://item.example/d"),
      QStringLiteral("http://item.example/e")};
  {
    // A pass that died after the confirm of row 3 (1-based).
    Journal journal;
    QVERIFY(journal.open(data.path()));
    QVERIFY(journal.replaceRows(rowsOf(addresses)));
    JournalPass pass;
    for (int i = 0; i < 5; ++i) pass.rows << journal.keyAt(i);
    pass.settings = PassSettings{37, true, false, 0};
    pass.failedCount = 2;
    QVERIFY(journal.startPass(pass) > 0);
    QVERIFY(journal.setRowStep(0, RowStep::ConfirmClicked));
    QVERIFY(journal.setOutcome(0, QStringLiteral("成功"), QStringLiteral("2026-12-09 01:00:00")));
    QVERIFY(journal.setRowStep(1, RowStep::ConfirmClicked));
    QVERIFY(journal.setStatus(1, QStringLiteral("失败")));
    QVERIFY(journal.setFailedAddresses({addresses[2], addresses[1]}));
    QVERIFY(journal.setRowStep(2, RowStep::ConfirmClicked));
    QVERIFY(journal.setImportedText(QStringLiteral("已导入5个地址")));
  }
  dialogs_.clearMessages();
  auto app = start(data.path());
  MainWindow& w = app->window();
  QVERIFY(dialogs_.messages().isEmpty());
  AddressListModel& list = *w.addressList;
  QCOMPARE(list.rowCountInt(), 5);
  QCOMPARE(list.cell(0, 1), QStringLiteral("成功"));
  QCOMPARE(list.cell(0, 2), QStringLiteral("2026-12-09 01:00:00"));
  QCOMPARE(list.cell(1, 1), QStringLiteral("失败"));
  QCOMPARE(list.cell(2, 1), QStringLiteral("未确认"));
  QCOMPARE(list.cell(3, 1), QString());
  // The unconfirmed row is not offered for a re-send.
  QCOMPARE(w.failedList->count(), 1);
  QCOMPARE(w.failedList->item(0)->text(), addresses[1]);
  QCOMPARE(w.statusParts[2]->text(), QStringLiteral("已导入5个地址"));
  QCOMPARE(w.statusParts[1]->text(), QStringLiteral("上次分享在第4个地址中断，登录后按“发表”继续"));
  QCOMPARE(app->shareEngine().currentRow(), 3);
  // The interrupted pass's settings are in the controls: "发表" goes on as it ran.
  QCOMPARE(w.period->text(), QStringLiteral("37"));
  QVERIFY(w.loopSharing->isChecked());
  QVERIFY(!w.addComment->isChecked());
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillet"));
  {
    // Closed now, the next start would say the same: start-up's reset of
    // the run state did not overwrite the interrupted pass's place.
    Journal peek;
    QVERIFY(peek.open(data.path()));
    const JournalSnapshot s = peek.restore();
    QCOMPARE(s.resumeRow, 3);
    QCOMPARE(s.pass->state, PassState::Running);
  }

  // A second Quillet on the same folder is turned away.
  {
    RecordingDialogs second;
    AppConfig config;
    config.siteBase = QString::fromStdString(site_->baseUrl());
    config.dataDir = data.path();
    Application other(config, &second);
    QVERIFY(!other.lockDataFolder());
    QCOMPARE(second.lastMessage().text, DataFolderLock::inUseText(data.path()));
  }

  // The menu, idle: no pass to pause or stop; list operations on the selection.
  AddressListMenu* menu = w.findChild<AddressListMenu*>();
  QVERIFY(menu != nullptr);
  QTreeView* view = w.addressView;
  view->setFocus();
  selectRows(view, {});
  menu->refresh();
  QVERIFY(!menu->pauseAction->isEnabled());
  QVERIFY(!menu->stopAction->isEnabled());
  QVERIFY(!menu->startHereAction->isEnabled());
  QVERIFY(!menu->clearStatusAction->isEnabled());
  QVERIFY(!menu->deleteAction->isEnabled());
  QVERIFY(menu->clearListAction->isEnabled());
  QVERIFY(menu->exportAction->isEnabled());
  QVERIFY(menu->exportFailedAction->isEnabled());
  selectRows(view, {2});
  QVERIFY(menu->startHereAction->isEnabled());
  QVERIFY(menu->clearStatusAction->isEnabled());
  QVERIFY(menu->deleteAction->isEnabled());

  // 从此行开始分享 checks the period as "发表" does.
  w.period->setText(QString());
  dialogs_.clearMessages();
  menu->startHereAction->trigger();
  QCOMPARE(dialogs_.lastMessage().text, refusalText(Refusal::NothingToShare));
  QVERIFY(!app->shareEngine().isRunning());

  // 清除状态 lets the user have the unconfirmed row shared again.
  menu->clearStatusAction->trigger();
  QCOMPARE(list.cell(2, 1), QString());

  // Ctrl+E: the results as CSV where the save dialog says.
  const QString csv = data.filePath(QStringLiteral("结果.csv"));
  dialogs_.setNextSaveFileName(csv);
  QTest::keyClick(view, Qt::Key_E, Qt::ControlModifier);
  QFile exported(csv);
  QVERIFY(exported.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = exported.readAll().split('\n');
  QCOMPARE(lines.size(), 7);  // BOM + header, five rows, the empty end
  QCOMPARE(lines[1], (addresses[0] + QStringLiteral(",成功,2026-12-09 01:00:00\r")).toUtf8());

  // Delete removes the selected rows.
  selectRows(view, {0, 1});
  QTest::keyClick(view, Qt::Key_Delete);
  QCOMPARE(list.rowCountInt(), 3);
  QCOMPARE(list.cell(0), addresses[2]);

  // All of it is in the journal when the program is gone.
  app.reset();
  Journal journal;
  QVERIFY(journal.open(data.path()));
  const JournalSnapshot s = journal.restore();
  QCOMPARE(s.rows.size(), 3);
  QCOMPARE(s.rows[0].address, addresses[2]);
  QCOMPARE(s.rows[0].status, QString());
  QCOMPARE(s.failed, QStringList{addresses[1]});
}

void PassControlTest::brokenJournalIsToldAndSetAside() {
  QTemporaryDir data;
  QFile file(data.filePath(Journal::fileName()));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("this is no database\n");
  file.close();
  dialogs_.clearMessages();
  auto app = start(data.path());
  QCOMPARE(app->window().addressList->rowCountInt(), 0);
  QCOMPARE(dialogs_.messages().size(), 1);
  QVERIFY(dialogs_.lastMessage().warning);
  QVERIFY2(dialogs_.lastMessage().text.contains(QStringLiteral("quillet.db.broken-")),
           qPrintable(dialogs_.lastMessage().text));
  QCOMPARE(QDir(data.path()).entryList({QStringLiteral("quillet.db.broken-*")}).size(), 1);
}

void PassControlTest::unwritableFolderGoesOnInMemory() {
  QTemporaryDir base;
  // A folder below a regular file cannot be made, whoever runs the test.
  QFile blocker(base.filePath(QStringLiteral("file")));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString data = QDir(blocker.fileName()).filePath(QStringLiteral("data"));
  dialogs_.clearMessages();
  auto app = start(data);
  MainWindow& w = app->window();
  QCOMPARE(dialogs_.messages().size(), 1);
  QVERIFY(dialogs_.lastMessage().warning);
  QVERIFY2(dialogs_.lastMessage().text.contains(QStringLiteral("无法写入数据文件夹")),
           qPrintable(dialogs_.lastMessage().text));
  // The list works all the same, in memory.
  const QString list = base.filePath(QStringLiteral("addresses.txt"));
  {
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("http://item.example/1\nhttp://item.example/2\n");
  }
  // (Not signed in, so the import button's page is closed: the same import
  // for a known file.)
  QCOMPARE(app->shareEngine().importFile(list).inserted, 2);
  QCOMPARE(w.addressList->rowCountInt(), 2);
  QCOMPARE(w.statusParts[2]->text(), QStringLiteral("已导入2个地址"));
  QCOMPARE(dialogs_.messages().size(), 1);  // said once
}

void PassControlTest::pauseContinueAndStopDuringAPass() {
  QTemporaryDir data;
  site_->clearShares();
  auto app = start(data.path());
  MainWindow& w = app->window();
  QVERIFY(signIn(w));
  const QString list = data.filePath(QStringLiteral("addresses.txt"));
  {
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((QString::fromStdString(site_->itemUrl(62)) + u'\n' +
                QString::fromStdString(site_->itemUrl(61)) + u'\n')
                   .toUtf8());
  }
  dialogs_.setNextFileName(list);
  QTest::mouseClick(w.importButton, Qt::LeftButton);
  QCOMPARE(w.addressList->rowCountInt(), 2);
  w.period->setText(QStringLiteral("21"));
  AddressListMenu* menu = w.findChild<AddressListMenu*>();
  QVERIFY(menu != nullptr);
  ShareEngine& engine = app->shareEngine();

  // Pause in the first row's first wait, for 1.5 s; then continue. Stop
  // once the first row has its result.
  constexpr int kPauseMs = 1500;
  QString pausedText, pausedTitle, runningTitle, deleteRefusal;
  int rowsAfterDelete = -1;
  bool deleteEnabled = true;
  std::size_t sharesWhilePaused = 99;
  bool pauseEnabledIdle = true;
  QElapsedTimer clock;
  qint64 firstRowMs = -1;
  connect(&engine, &ShareEngine::passStarted, this, [&] {
    clock.start();
    QTimer::singleShot(100, this, [&] {
      runningTitle = w.windowTitle();
      QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
      QTimer::singleShot(200, this, [&] {
        pausedText = w.statusParts[1]->text();
        pausedTitle = menu->pauseAction->text();
        // Rows cannot be deleted under a pass, paused or not: Delete says so.
        selectRows(w.addressView, {1});
        w.addressView->setFocus();
        QTest::keyClick(w.addressView, Qt::Key_Delete);
        deleteRefusal = w.statusParts[1]->text();
        rowsAfterDelete = w.addressList->rowCountInt();
        deleteEnabled = menu->deleteAction->isEnabled();
      });
      QTimer::singleShot(kPauseMs, this, [&] {
        sharesWhilePaused = site_->shares().size();
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
      });
    });
  });
  connect(&engine, &ShareEngine::rowFinished, this, [&](int row) {
    if (row != 0) return;
    firstRowMs = clock.elapsed();
    w.addressView->setFocus();
    QTest::keyClick(w.addressView, Qt::Key_Escape);
  });
  QSignalSpy ended(&engine, &ShareEngine::runEnded);
  QTest::mouseClick(w.publishButton, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= 1, 120000);
  pauseEnabledIdle = menu->pauseAction->isEnabled();

  QCOMPARE(pausedText, QStringLiteral("已暂停"));
  QCOMPARE(pausedTitle, QStringLiteral("继续"));
  QCOMPARE(sharesWhilePaused, std::size_t{0});
  QCOMPARE(deleteRefusal, ListActions::deleteRefusedText());
  QCOMPARE(rowsAfterDelete, 2);
  QVERIFY(!deleteEnabled);
  QVERIFY2(runningTitle.startsWith(QStringLiteral("Quillet - 第1/2个 - 约剩")),
           qPrintable(runningTitle));
  // The designed waits of the row (scaled) all ran besides the pause.
  const qint64 designedMs = static_cast<qint64>(RowWaits::kTotal / 1000 * timeScale());
  QVERIFY2(firstRowMs >= designedMs + kPauseMs,
           qPrintable(QStringLiteral("%1 ms, designed %2 ms").arg(firstRowMs).arg(designedMs)));
  // Stopped at the boundary after the first row: the second was not shared.
  QCOMPARE(w.statusParts[1]->text(), QStringLiteral("已停止"));
  QCOMPARE(site_->shares().size(), std::size_t{1});
  QVERIFY(site_->shares().front().ok);
  QCOMPARE(w.addressList->cell(0, 1), QStringLiteral("成功"));
  QCOMPARE(w.addressList->cell(1, 1), QString());
  QCOMPARE(site_->shares().size(), std::size_t{1});
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillet"));
  QVERIFY(!pauseEnabledIdle);
}

// With --account the window's title names the account, idle and through a
// pass's progress titles.
void PassControlTest::accountNameInTheTitle() {
  QTemporaryDir data;
  site_->clearShares();
  auto app = start(data.path(), QStringLiteral("shop-a"));
  MainWindow& w = app->window();
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillet (shop-a)"));
  QVERIFY(signIn(w));
  const QString list = data.filePath(QStringLiteral("addresses.txt"));
  {
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((QString::fromStdString(site_->itemUrl(71)) + u'\n').toUtf8());
  }
  dialogs_.setNextFileName(list);
  QTest::mouseClick(w.importButton, Qt::LeftButton);
  w.period->setText(QStringLiteral("21"));
  ShareEngine& engine = app->shareEngine();
  QString runningTitle;
  connect(&engine, &ShareEngine::passStarted, this,
          [&] { QTimer::singleShot(100, this, [&] { runningTitle = w.windowTitle(); }); });
  QSignalSpy ended(&engine, &ShareEngine::runEnded);
  QTest::mouseClick(w.publishButton, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= 1, 120000);
  QVERIFY2(runningTitle.startsWith(QStringLiteral("Quillet (shop-a) - 第1/1个 - 约剩")),
           qPrintable(runningTitle));
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillet (shop-a)"));
  QCOMPARE(site_->shares().size(), std::size_t{1});
}

QTEST_MAIN(PassControlTest)
#include "pass_control_test.moc"
