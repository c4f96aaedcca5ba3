// The run loop, its refusals and messages, the waits it makes, and what it
// does with presses that arrive while a pass runs, against the real browser
// engine and the demo share site.
#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "share/designed_waits.h"
#include "share/failed_addresses.h"
#include "share/page_steps.h"
#include "share_harness.h"
#include "site/pump_wait.h"
#include "site/time_scale.h"

using namespace quillet;

namespace {

using Waits = QList<std::int32_t>;

// The designed waits of one iteration whose address is accepted.
const Waits kIteration{4000000, 2000000, 2000000, 2000000, 6000000, 1600000};

// Records every wait the engine asks for and waits it (scaled), except the
// long pacing waits, which are only recorded.
struct WaitRecorder {
  Waits waits;
  QStringList progressAtWait;
  std::function<void(int index, std::int32_t micros)> during;

  void attach(ShareHarness& h) {
    h.engine->setWaitFunction([this, &h](std::int32_t micros) {
      waits << micros;
      progressAtWait << h.progress->text();
      if (during) during(static_cast<int>(waits.size()) - 1, micros);
      if (micros <= RowWaits::kLongest) pumpWait(micros);
    });
  }
};

int recordsFor(const std::vector<ShareRecord>& records, const QString& address) {
  int n = 0;
  for (const ShareRecord& r : records) n += QString::fromStdString(r.address) == address;
  return n;
}

}  // namespace

class ShareEngineTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ShareHarness> h_;
  QTemporaryDir dir_;

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    h_ = std::make_unique<ShareHarness>();
    QVERIFY(h_->siteRunning());
    h_->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h_->window));
    QVERIFY(h_->signIn());
  }
  void cleanupTestCase() { h_.reset(); }

  void init() {
    h_->engine->setWaitFunction([](std::int32_t micros) { pumpWait(micros); });
    h_->dialogs.clearMessages();
    h_->dialogs.setOnMessage({});
    h_->engine->failedAddresses().clear();
    h_->list.clear();
    h_->loop->setChecked(false);
    h_->addComment->setChecked(true);
    h_->period->setText(QStringLiteral("21"));
    h_->progress->setText(QStringLiteral("idle"));
  }

  void refusesBeforeStarting_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("period");
    QTest::newRow("empty list") << 0 << QStringLiteral("30");
    QTest::newRow("empty period") << 1 << QString();
    QTest::newRow("20.9") << 1 << QStringLiteral("20.9");
    QTest::newRow("not a number") << 1 << QStringLiteral("abc");
    QTest::newRow("infinite") << 1 << QStringLiteral("inf");
    QTest::newRow("negative") << 1 << QStringLiteral("-30");
  }
  void refusesBeforeStarting() {
    QFETCH(int, rowCount);
    QFETCH(QString, period);
    for (int i = 0; i < rowCount; ++i) h_->list.insertRow(0, h_->itemAddress(7));
    h_->period->setText(period);
    h_->failed->setFocus();
    QWidget* focusDuringMessage = nullptr;
    h_->dialogs.setOnMessage([&focusDuringMessage](const RecordingDialogs::Message&) {
      focusDuringMessage = QApplication::focusWidget();
    });
    WaitRecorder recorder;
    recorder.attach(*h_);
    const std::size_t sharesBefore = h_->shares().size();

    h_->engine->publish();

    QCOMPARE(h_->dialogs.messages().size(), 1);
    QCOMPARE(h_->dialogs.lastMessage().text, refusalText(Refusal::NothingToShare));
    QCOMPARE(h_->dialogs.lastMessage().text,
             QStringLiteral("请先导入地址和设定周期（必须大于21秒，否则你的帐号可能会被禁言）"));
    QCOMPARE(h_->dialogs.lastMessage().title, defaultMessageTitle());
    QCOMPARE(focusDuringMessage, static_cast<QWidget*>(h_->period));
    // Nothing else changed: no wait, no progress text, no share, no status.
    QVERIFY(recorder.waits.isEmpty());
    QCOMPARE(h_->progress->text(), QStringLiteral("idle"));
    QCOMPARE(h_->shares().size(), sharesBefore);
    QCOMPARE(h_->rows(1), QStringList(rowCount, QString()));
    QVERIFY(!h_->engine->isRunning());
  }

  // Exactly 21 is accepted; the final pacing wait is P - 25 seconds, none
  // up to 25, and split into pieces that each fit one wait above 2172 s.
  void designedWaitsAndPacing_data() {
    QTest::addColumn<QString>("period");
    QTest::addColumn<Waits>("pacing");
    QTest::newRow("21") << QStringLiteral("21") << Waits{};
    QTest::newRow("25") << QStringLiteral("25") << Waits{};
    QTest::newRow("30") << QStringLiteral("30") << Waits{5000000};
    QTest::newRow("25.5") << QStringLiteral("25.5") << Waits{500000};
    QTest::newRow("3000") << QStringLiteral("3000") << Waits{2147483647, 827516353};
  }
  void designedWaitsAndPacing() {
    QFETCH(QString, period);
    QFETCH(Waits, pacing);
    const QString address = h_->itemAddress(101);
    h_->setRows({address});
    h_->period->setText(period);
    WaitRecorder recorder;
    recorder.attach(*h_);
    QSignalSpy finished(h_->engine.get(), &ShareEngine::passFinished);

    h_->engine->publish();

    QCOMPARE(recorder.waits, kIteration + pacing);
    // The progress text names the row from the address step on.
    QCOMPARE(recorder.progressAtWait.at(3), QStringLiteral("正在分享第1个地址"));
    QCOMPARE(h_->progress->text(), QStringLiteral("发布完毕"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(h_->list.cell(0, 1), QStringLiteral("成功"));
    QCOMPARE(h_->engine->currentRow(), 0);
    QVERIFY(h_->dialogs.messages().isEmpty());
  }

  void pacingOfPeriodTexts() {
    // The period is read from its text once; the wait is computed from the
    // number.
    const auto pacing = [](const QString& text) {
      return ShareEngine::pacingMicros(periodFromText(text).value_or(0.0));
    };
    QCOMPARE(pacing(QStringLiteral("30")), 5000000);
    QCOMPARE(pacing(QStringLiteral(" 26 ")), 1000000);
    QCOMPARE(pacing(QString()), 0);
    QCOMPARE(pacing(QStringLiteral("x")), 0);
    QCOMPARE(pacing(QStringLiteral("nan")), 0);
    QCOMPARE(pacing(QStringLiteral("inf")), 0);
    QCOMPARE(pacing(QStringLiteral("1e300")), std::int64_t{9000000000000000000});
    QCOMPARE(pacing(QStringLiteral("100000")), std::int64_t{99975000000});
    // Texts that are no period at all are told apart from a period of 0.
    QVERIFY(!periodFromText(QString()).has_value());
    QVERIFY(!periodFromText(QStringLiteral("x")).has_value());
    QVERIFY(!periodFromText(QStringLiteral("nan")).has_value());
    QVERIFY(!periodFromText(QStringLiteral("-inf")).has_value());
    QCOMPARE(periodFromText(QStringLiteral("0")), std::optional<double>(0.0));
    // Truncated toward zero, to the microsecond.
    QCOMPARE(ShareEngine::pacingMicros(25.0000019), 1);
    QCOMPARE(ShareEngine::pacingMicros(25.0), 0);
    QCOMPARE(ShareEngine::pacingMicros(-1e300), 0);
    QCOMPARE(ShareEngine::pacingMicros(std::numeric_limits<double>::quiet_NaN()), 0);
  }

  // Two wrong addresses in a row go into the same page one after the other,
  // with the progress text advancing each time; a wrong last row ends the
  // pass without publishing.
  void wrongAddresses() {
    const QString good = h_->itemAddress(202);
    const QString wrong1 = h_->siteBase() + QStringLiteral("/item/0");
    const QString wrong2 = QStringLiteral("宝贝 not an address");
    const QString wrongLast = QString();
    h_->setRows({wrong1, wrong2, good, wrongLast});
    // Failed once before: its latest outcome is 地址错误 now, so a re-send
    // must not take it.
    h_->engine->failedAddresses().setAddresses({wrong1});
    WaitRecorder recorder;
    recorder.attach(*h_);
    const std::size_t before = h_->shares().size();

    h_->engine->publish();

    QCOMPARE(h_->rows(1), (QStringList{QStringLiteral("地址错误"), QStringLiteral("地址错误"),
                                       QStringLiteral("成功"), QStringLiteral("地址错误")}));
    QCOMPARE(h_->rows(2).at(0), QString());
    QCOMPARE(h_->rows(2).at(3), QString());
    // First iteration: start page, dialog, three addresses into one page
    // (no reload between them), publish. Second: the wrong last row only.
    const Waits expected =
        Waits{4000000, 2000000, 2000000, 2000000, 2000000, 2000000, 6000000, 1600000} +
        Waits{4000000, 2000000, 2000000, 2000000};
    QCOMPARE(recorder.waits, expected);
    QCOMPARE(recorder.progressAtWait.mid(3, 3),
             (QStringList{QStringLiteral("正在分享第1个地址"), QStringLiteral("正在分享第2个地址"),
                          QStringLiteral("正在分享第3个地址")}));
    QCOMPARE(recorder.progressAtWait.at(11), QStringLiteral("正在分享第4个地址"));
    QCOMPARE(h_->progress->text(), QStringLiteral("发布完毕"));
    const std::vector<ShareRecord> records = h_->shares();
    QCOMPARE(records.size(), before + 1);
    QCOMPARE(QString::fromStdString(records.back().address), good);
    QVERIFY(h_->failedEntries().isEmpty());
  }

  // Presses that arrive while a pass waits: "发表" and "失败重发" are refused
  // with a status-bar message and leave the pass alone; an import puts rows
  // on top and the pass keeps working on the rows it was walking.
  void pressesDuringAPass() {
    const QStringList walked{h_->itemAddress(301), h_->itemAddress(302), h_->itemAddress(303)};
    h_->setRows(walked);
    h_->engine->failedAddresses().setAddresses({h_->itemAddress(399)});  // something to re-send
    const QString file = dir_.filePath(QStringLiteral("more.txt"));
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write("new1\nnew2\n");
    }
    h_->dialogs.setNextFileName(file);
    const std::size_t before = h_->shares().size();

    WaitRecorder recorder;
    QStringList progressAfterPress;
    int rowBefore = -1;
    int rowAfter = -1;
    recorder.during = [&](int index, std::int32_t micros) {
      if (micros != RowWaits::kBeforeConfirm) return;
      if (index == 4) {  // row 1 entered, not yet published
        h_->engine->publish();
        progressAfterPress << h_->progress->text();
        h_->resend();
        progressAfterPress << h_->progress->text();
      } else if (rowBefore < 0) {  // row 2 entered, not yet published
        rowBefore = h_->engine->currentRow();
        h_->importFromDialog();
        rowAfter = h_->engine->currentRow();
      }
    };
    recorder.attach(*h_);

    h_->engine->publish();

    QCOMPARE(progressAfterPress,
             (QStringList{ShareEngine::busyPublishText(), ShareEngine::busyResendText()}));
    QVERIFY(h_->dialogs.messages().isEmpty());
    QCOMPARE(rowBefore, 2);
    QCOMPARE(rowAfter, 4);
    QCOMPARE(h_->imported->text(), QStringLiteral("已导入5个地址"));
    QCOMPARE(h_->rows(), (QStringList{QStringLiteral("new2"), QStringLiteral("new1")} + walked));
    // The walked rows got their results; the imported ones were not walked.
    QCOMPARE(h_->rows(1), (QStringList{QString(), QString(), QStringLiteral("成功"),
                                       QStringLiteral("成功"), QStringLiteral("成功")}));
    // One pass only: three iterations, each shared once.
    QCOMPARE(recorder.waits, kIteration + kIteration + kIteration);
    const std::vector<ShareRecord> records = h_->shares();
    QCOMPARE(records.size(), before + 3);
    for (const QString& address : walked) QCOMPARE(recordsFor(records, address), 1);
    QCOMPARE(h_->failedEntries(), QStringList{h_->itemAddress(399)});
    QVERIFY(!h_->engine->isRunning());
  }

  // Loop sharing: the end of a pass clears every status, keeps the publish
  // times and starts again from the first row after the checks; a period
  // emptied meanwhile stops the repetition with the refusal message.
  void loopSharing() {
    h_->setRows({h_->itemAddress(401), h_->itemAddress(402)});
    h_->loop->setChecked(true);
    QStringList statusesAtRestart;
    QStringList timesAtRestart;
    QStringList timesAtEnd;
    int passes = 0;
    connect(h_->engine.get(), &ShareEngine::passFinished, this, [&] {
      ++passes;
      timesAtEnd = h_->rows(2);
      if (passes == 2) h_->period->clear();
    });
    WaitRecorder recorder;
    recorder.during = [&](int, std::int32_t) {
      if (passes == 1 && statusesAtRestart.isEmpty()) {
        statusesAtRestart = h_->rows(1);
        timesAtRestart = h_->rows(2);
      }
    };
    recorder.attach(*h_);

    h_->engine->publish();
    disconnect(h_->engine.get(), &ShareEngine::passFinished, this, nullptr);

    QCOMPARE(passes, 2);
    QCOMPARE(statusesAtRestart, (QStringList{QString(), QString()}));
    QCOMPARE(timesAtRestart.size(), 2);
    QVERIFY(!timesAtRestart.at(0).isEmpty());
    // The second end cleared the statuses again before the refused check.
    QCOMPARE(h_->rows(1), (QStringList{QString(), QString()}));
    QCOMPARE(h_->rows(2), timesAtEnd);
    QVERIFY(timesAtEnd.at(0) >= timesAtRestart.at(0));
    QCOMPARE(recorder.waits.size(), 4 * kIteration.size());
    QCOMPARE(h_->dialogs.messages().size(), 1);
    QCOMPARE(h_->dialogs.lastMessage().text, refusalText(Refusal::NothingToShare));
    QVERIFY(!h_->engine->isRunning());
  }

  void commentsOff() {
    h_->setRows({h_->itemAddress(501)});
    h_->addComment->setChecked(false);
    h_->commentPool->setCurrentRow(4);
    h_->engine->publish();
    QCOMPARE(h_->commentPool->currentRow(), 4);
    const std::vector<ShareRecord> records = h_->shares();
    QVERIFY(!records.empty());
    QCOMPARE(QString::fromStdString(records.back().address), h_->itemAddress(501));
    QCOMPARE(records.back().comment, std::string());
    QVERIFY(records.back().ok);  // "forwardMaga" was still clicked
    QCOMPARE(h_->list.cell(0, 1), QStringLiteral("成功"));
  }

  void resendWithoutFailures() {
    h_->setRows({QStringLiteral("a"), QStringLiteral("b")});
    h_->imported->setText(QStringLiteral("已导入2个地址"));
    h_->resend();
    QCOMPARE(h_->dialogs.messages().size(), 1);
    QCOMPARE(h_->dialogs.lastMessage().title, QStringLiteral("错误信息"));
    QCOMPARE(h_->dialogs.lastMessage().text,
             QStringLiteral("没有发布失败的地址（地址错误的请更换地址）"));
    QCOMPARE(h_->rows(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(h_->imported->text(), QStringLiteral("已导入2个地址"));
    QCOMPARE(h_->progress->text(), QStringLiteral("idle"));
  }

  // A re-send with a period below 21 replaces the rows all the same and
  // shows the refusal.
  void resendRefusedByThePeriod() {
    h_->engine->failedAddresses().setAddresses({QStringLiteral("f1"), QStringLiteral("f2")});
    h_->setRows({QStringLiteral("x")});
    h_->period->setText(QStringLiteral("20"));
    h_->resend();
    QCOMPARE(h_->rows(), (QStringList{QStringLiteral("f1"), QStringLiteral("f2")}));
    QCOMPARE(h_->imported->text(), QStringLiteral("已导入2个地址"));
    QCOMPARE(h_->dialogs.lastMessage().text, refusalText(Refusal::NothingToShare));
  }

  // 停止, then rows imported on top and rows deleted above the pass's place,
  // then 发表: the pass goes on with its own rows by identity, shares none of
  // them twice and leaves the new rows for the next 发表, saying how many.
  void importAndDeleteAfterAStopMoveNothing() {
    const QStringList rows{h_->itemAddress(541), h_->itemAddress(542), h_->itemAddress(543),
                           h_->itemAddress(544)};
    h_->setRows(rows);
    const std::size_t before = h_->shares().size();
    WaitRecorder recorder;
    recorder.during = [&](int index, std::int32_t) {
      if (index == 5 + kIteration.size()) h_->engine->requestStop();  // after row 2's confirm
    };
    recorder.attach(*h_);
    h_->engine->publish();
    QCOMPARE(h_->rows(1),
             (QStringList{QStringLiteral("成功"), QStringLiteral("成功"), QString(), QString()}));
    QCOMPARE(h_->progress->text(), ShareEngine::stoppedText());

    // Three new rows on top, the first shared row deleted.
    h_->list.insertRows(0, {h_->itemAddress(551), h_->itemAddress(552), h_->itemAddress(553)});
    h_->list.deleteRowSet({3});
    recorder = WaitRecorder{};
    recorder.attach(*h_);
    h_->engine->publish();

    const std::vector<ShareRecord> records = h_->shares();
    QCOMPARE(records.size(), before + 4);
    for (const QString& address : rows) QCOMPARE(recordsFor(records, address), 1);
    for (const int id : {551, 552, 553}) QCOMPARE(recordsFor(records, h_->itemAddress(id)), 0);
    QCOMPARE(h_->rows(1), (QStringList{QString(), QString(), QString(), QStringLiteral("成功"),
                                       QStringLiteral("成功"), QStringLiteral("成功")}));
    QCOMPARE(h_->progress->text(), ShareEngine::finishedWithNewRowsText(3));

    // The next 发表 is a new pass over the whole list as it is now.
    recorder = WaitRecorder{};
    recorder.attach(*h_);
    h_->engine->publish();
    QCOMPARE(h_->shares().size(), before + 4 + 6);
    QCOMPARE(h_->progress->text(), ShareEngine::finishedText());
  }

  // Stop: requested while a confirmed share waits for its result, the row
  // is still read and recorded, then the pass ends with "已停止" and keeps
  // its place; requested between entering an address and confirming it, the
  // row is left as it was and the next "发表" enters it again. Nothing is
  // ever shared twice.
  void stopEndsAtAStepBoundary() {
    const QStringList rows{h_->itemAddress(531), h_->itemAddress(532), h_->itemAddress(533)};
    h_->setRows(rows);
    const std::size_t before = h_->shares().size();
    QSignalSpy ended(h_->engine.get(), &ShareEngine::passEnded);

    WaitRecorder recorder;
    recorder.during = [&](int index, std::int32_t) {
      if (index == 5) h_->engine->requestStop();  // the 1.6 s after row 1's confirm
    };
    recorder.attach(*h_);
    h_->engine->publish();

    QCOMPARE(recorder.waits, kIteration);
    QCOMPARE(h_->rows(1), (QStringList{QStringLiteral("成功"), QString(), QString()}));
    QCOMPARE(h_->progress->text(), ShareEngine::stoppedText());
    QCOMPARE(h_->engine->currentRow(), 1);
    QVERIFY(!h_->engine->isRunning());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), false);

    // Stopped again while row 2 waits to be confirmed: nothing of it is kept.
    recorder = WaitRecorder{};
    recorder.during = [&](int index, std::int32_t) {
      if (index == 4) h_->engine->requestStop();  // the 6 s before row 2's confirm
    };
    recorder.attach(*h_);
    h_->engine->publish();
    QCOMPARE(recorder.waits, kIteration.mid(0, 5));
    QCOMPARE(h_->rows(1), (QStringList{QStringLiteral("成功"), QString(), QString()}));
    QCOMPARE(h_->engine->currentRow(), 1);

    // "发表" goes on from row 2 to the end.
    recorder = WaitRecorder{};
    recorder.attach(*h_);
    h_->engine->publish();
    QCOMPARE(h_->rows(1), QStringList(3, QStringLiteral("成功")));
    QCOMPARE(h_->progress->text(), ShareEngine::finishedText());
    const std::vector<ShareRecord> records = h_->shares();
    QCOMPARE(records.size(), before + 3);
    for (const QString& address : rows) QCOMPARE(recordsFor(records, address), 1);
  }

  // Pause holds the pass where it is, with the status bar saying so, for as
  // long as it lasts; continue brings the progress text back and the pass
  // finishes every designed wait in full (the engine's own, interruptible
  // waits: pausing inside one does not shorten it).
  void pauseHoldsAndContinueResumes() {
    h_->setRows({h_->itemAddress(511)});
    h_->engine->setWaitFunction(nullptr);  // the engine's own waits, which a pause cuts short
    const std::size_t before = h_->shares().size();
    QObject guard;  // ends the connection and the timers with this test
    QStringList texts;
    QObject::connect(h_->engine.get(), &ShareEngine::progressText, &guard,
                     [&texts](const QString& text) { texts << text; });
    constexpr int kHoldMs = 1500;
    QElapsedTimer clock;
    qint64 heldMs = 0;
    bool heldWhilePaused = false;
    int rowDuringPause = -1;
    // Pause inside the 6 s wait after the address went in (0.4 s to 1.6 s
    // after it at the tests' time scale of 0.2).
    const int pauseAfterMs = static_cast<int>(2000 * timeScale() + 3000 * timeScale());
    QObject::connect(h_->engine.get(), &ShareEngine::addressEntered, &guard, [&] {
      QTimer::singleShot(pauseAfterMs, Qt::PreciseTimer, &guard, [&] {
        h_->engine->pause();
        clock.start();
        rowDuringPause = h_->engine->currentRow();
        QTimer::singleShot(kHoldMs, Qt::PreciseTimer, &guard, [&] {
          heldMs = clock.elapsed();
          heldWhilePaused = h_->engine->isPaused() && h_->engine->currentRow() == rowDuringPause &&
                            h_->list.cell(0, 1).isEmpty() && h_->shares().size() == before;
          h_->engine->resume();
        });
      });
    });
    QElapsedTimer total;
    total.start();
    h_->engine->publish();
    const qint64 totalMs = total.elapsed();

    QVERIFY(heldWhilePaused);
    QVERIFY(texts.contains(ShareEngine::pausedText()));
    const int pausedAt = static_cast<int>(texts.indexOf(ShareEngine::pausedText()));
    QCOMPARE(texts.last(), ShareEngine::finishedText());
    QVERIFY(texts.mid(pausedAt + 1).contains(QStringLiteral("正在分享第1个地址")));
    QCOMPARE(h_->list.cell(0, 1), QStringLiteral("成功"));
    // The designed waits of the row (scaled) all ran on top of the hold.
    std::int64_t designed = 0;
    for (std::int32_t w : kIteration) designed += w;
    QVERIFY2(totalMs >= heldMs + scaledMicros(designed) / 1000,
             qPrintable(QString::number(totalMs)));
    QVERIFY(!h_->engine->isPaused());
  }

  // A pass can start at a chosen row, and rows left unconfirmed by an
  // interrupted run are never shared again by a pass on its own.
  void startAtARowAndSkipUnconfirmed() {
    const QStringList rows{h_->itemAddress(521), h_->itemAddress(522), h_->itemAddress(523),
                           h_->itemAddress(524)};
    h_->setRows(rows);
    h_->list.setCell(2, 1, PageSteps::unconfirmedStatus());
    const std::size_t before = h_->shares().size();
    WaitRecorder recorder;
    recorder.attach(*h_);

    h_->engine->startAt(1);

    QCOMPARE(h_->rows(1), (QStringList{QString(), QStringLiteral("成功"),
                                       PageSteps::unconfirmedStatus(), QStringLiteral("成功")}));
    QCOMPARE(recorder.waits, kIteration + kIteration);
    const std::vector<ShareRecord> records = h_->shares();
    QCOMPARE(records.size(), before + 2);
    QCOMPARE(recordsFor(records, rows.at(1)), 1);
    QCOMPARE(recordsFor(records, rows.at(3)), 1);
    QCOMPARE(h_->engine->currentRow(), 0);
  }

  // The failed-address list: this pass's failures first in their order,
  // each address once, a success takes it out.
  void failedAddressList() {
    FailedAddresses failed;
    failed.setAddresses({QStringLiteral("old1"), QStringLiteral("old2"), QStringLiteral("old3")});
    std::int32_t count = 0;
    failed.recordFailure(QStringLiteral("a"), count);
    failed.recordFailure(QStringLiteral("b"), count);
    failed.recordFailure(QStringLiteral("old2"), count);  // moves up, once
    QCOMPARE(failed.addresses(),
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("old2"),
                          QStringLiteral("old1"), QStringLiteral("old3")}));
    QCOMPARE(count, 3);
    failed.recordFailure(QStringLiteral("a"), count);  // again in this pass: moves behind b
    QCOMPARE(failed.addresses().mid(0, 3),
             (QStringList{QStringLiteral("b"), QStringLiteral("old2"), QStringLiteral("a")}));
    QCOMPARE(count, 3);
    failed.recordSuccess(QStringLiteral("b"), count);
    failed.recordSuccess(QStringLiteral("old3"), count);
    failed.recordSuccess(QStringLiteral("never failed"), count);
    QCOMPARE(failed.addresses(),
             (QStringList{QStringLiteral("old2"), QStringLiteral("a"), QStringLiteral("old1")}));
    QCOMPARE(count, 2);
    failed.recordFailure(QStringLiteral("c"), count);
    QCOMPARE(failed.addresses().at(2), QStringLiteral("c"));
  }

  // A start page that never finishes loading holds the pass only for the
  // limited load wait; then the iteration goes on and the result check
  // decides the row. (Watchdog: ends the pass if it hangs.)
  void startPageThatNeverLoads() {
    DemoOptions options;
    options.stallRate = 1.0;
    options.stallMs = 900000;
    ShareHarness stalled(options);
    QVERIFY(stalled.signIn());
    const QString address = stalled.itemAddress(601);
    stalled.setRows({address});
    bool hung = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [&] {
      hung = true;
      stalled.engine->stop();
    });
    watchdog.start(180000);

    stalled.engine->publish();

    QVERIFY(!hung);
    QCOMPARE(stalled.progress->text(), QStringLiteral("发布完毕"));
    const std::vector<ShareRecord> records = stalled.shares();
    const bool shared = records.size() == 1 && records.front().ok;
    QCOMPARE(stalled.list.cell(0, 1), shared ? QStringLiteral("成功") : QStringLiteral("失败"));
  }

  void texts() {
    QCOMPARE(PageSteps::progressText(1), QStringLiteral("正在分享第1个地址"));
    QCOMPARE(PageSteps::progressText(123456), QStringLiteral("正在分享第123456个地址"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                .match(PageSteps::publishTimeNow())
                .hasMatch());
  }
};

QTEST_MAIN(ShareEngineTest)
#include "share_engine_test.moc"
