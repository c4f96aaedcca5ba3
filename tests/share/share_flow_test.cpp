// The whole share flow, end to end: the real browser engine signed in to the
// demo share site, a list with good, wrong and failing addresses, one pass,
// the start of a loop-sharing repetition, and a re-send of the failure.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "share_harness.h"
#include "site/comment_pool.h"
#include "site/pump_wait.h"

using namespace quillet;

namespace {

constexpr int kFailingItem = 7003;

}  // namespace

class ShareFlowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void wholeFlow() {
    DemoOptions options;
    options.failItems = {kFailingItem};
    ShareHarness h(options);
    QVERIFY(h.siteRunning());
    h.window.show();
    QVERIFY(h.signIn());

    const QString wrongMiddle = h.siteBase() + QStringLiteral("/item/0");
    const QString wrongLast = QStringLiteral("http://127.0.0.1:1/item/5");
    const QString failing = h.itemAddress(kFailingItem);
    const QStringList rows{
        h.itemAddress(7001), h.itemAddress(7002), wrongMiddle,         failing,
        h.itemAddress(7004), h.itemAddress(7005), h.itemAddress(7006), wrongLast};
    // Imported from a file: the lines land in reverse order.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("items.txt"));
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      for (auto it = rows.crbegin(); it != rows.crend(); ++it) out.write(it->toUtf8() + "\r\n");
    }
    h.dialogs.setNextFileName(file);
    h.importFromDialog();
    QCOMPARE(h.rows(), rows);
    QCOMPARE(h.imported->text(), QStringLiteral("已导入8个地址"));

    h.addComment->setChecked(true);
    h.loop->setChecked(true);
    h.period->setText(QStringLiteral("21"));

    // Loop sharing: once the first pass ends, look at the list as the second
    // pass begins, then end that pass before it shares anything.
    int passes = 0;
    QStringList statusesAfterFirst, timesAfterFirst, statusesAtRepeat, timesAtRepeat;
    connect(h.engine.get(), &ShareEngine::passFinished, this, [&] {
      if (++passes == 1) {
        statusesAfterFirst = h.rows(1);
        timesAfterFirst = h.rows(2);
      }
    });
    h.engine->setWaitFunction([&](std::int32_t micros) {
      if (passes == 1 && statusesAtRepeat.isEmpty()) {
        statusesAtRepeat = h.rows(1);
        timesAtRepeat = h.rows(2);
        h.engine->stop();
        return;
      }
      pumpWait(micros);
    });

    h.engine->publish();

    QCOMPARE(passes, 1);
    QVERIFY(!h.engine->isRunning());
    const std::vector<ShareRecord> firstRecords = h.shares();

    // After the first pass: statuses as the site saw them.
    QCOMPARE(statusesAfterFirst, (QStringList{QStringLiteral("成功"), QStringLiteral("成功"),
                                              QStringLiteral("地址错误"), QStringLiteral("失败"),
                                              QStringLiteral("成功"), QStringLiteral("成功"),
                                              QStringLiteral("成功"), QStringLiteral("地址错误")}));
    QCOMPARE(firstRecords.size(), std::size_t{6});
    std::map<QString, ShareRecord> byAddress;
    for (const ShareRecord& record : firstRecords) {
      const QString address = QString::fromStdString(record.address);
      QVERIFY2(byAddress.count(address) == 0, qPrintable(address));  // nothing twice
      byAddress[address] = record;
    }
    for (int row = 0; row < rows.size(); ++row) {
      const QString& address = rows[row];
      const QString status = statusesAfterFirst[row];
      const QString time = timesAfterFirst[row];
      if (status == QStringLiteral("地址错误")) {
        QVERIFY(byAddress.count(address) == 0);
        QVERIFY(time.isEmpty());
        continue;
      }
      QVERIFY2(byAddress.count(address) == 1, qPrintable(address));
      const ShareRecord& record = byAddress[address];
      QCOMPARE(record.ok, status == QStringLiteral("成功"));
      QCOMPARE(record.account, h.site().accounts().front().user);
      if (record.ok) {
        // Written just after the site made the share.
        QVERIFY2(writtenJustAfter(time, record.time),
                 qPrintable(time + QStringLiteral(" / ") + QString::fromStdString(record.time)));
      } else {
        QVERIFY(time.isEmpty());
      }
    }
    // Every comment is a pool text followed by a number from 0 to 9999.
    const QStringList pool = commentPoolTexts();
    for (const ShareRecord& record : firstRecords) {
      const QString comment = QString::fromStdString(record.comment);
      bool matched = false;
      for (const QString& text : pool) {
        if (!comment.startsWith(text)) continue;
        const QString digits = comment.mid(text.size());
        bool ok = false;
        const int number = digits.toInt(&ok);
        matched =
            ok &&
            QRegularExpression(QStringLiteral("^(0|[1-9]\\d{0,3})$")).match(digits).hasMatch() &&
            number >= 0 && number <= 9999;
      }
      QVERIFY2(matched, qPrintable(comment));
    }
    // The last comment's text is the selected item of the comment list.
    QVERIFY(h.commentPool->currentItem() != nullptr);
    QVERIFY(QString::fromStdString(firstRecords.back().comment)
                .startsWith(h.commentPool->currentItem()->text()));
    // The failure, once; the wrong ones not at all.
    QCOMPARE(h.failedEntries(), QStringList{failing});

    // The repetition cleared every status and kept every time.
    QCOMPARE(statusesAtRepeat, QStringList(8, QString()));
    QCOMPARE(timesAtRepeat, timesAfterFirst);
    QCOMPARE(h.engine->currentRow(), 0);

    // The site recovers (same address, same port); re-send lists exactly the
    // failed address and shares it.
    QVERIFY(h.restartSite(DemoOptions{}));
    QVERIFY(h.signIn());
    h.loop->setChecked(false);
    h.engine->setWaitFunction([](std::int32_t micros) { pumpWait(micros); });
    QStringList rowsAtResend;
    QString importedAtResend;
    connect(h.engine.get(), &ShareEngine::passFinished, this, [&] {
      rowsAtResend = h.rows();
      importedAtResend = h.imported->text();
    });
    h.resend();

    QCOMPARE(rowsAtResend, QStringList{failing});
    QCOMPARE(importedAtResend, QStringLiteral("已导入1个地址"));
    QCOMPARE(h.rows(1), QStringList{QStringLiteral("成功")});
    QVERIFY(h.failedEntries().isEmpty());
    QCOMPARE(h.progress->text(), QStringLiteral("发布完毕"));
    const std::vector<ShareRecord> all = h.shares();
    QCOMPARE(all.size(), firstRecords.size() + 1);
    QCOMPARE(QString::fromStdString(all.back().address), failing);
    QVERIFY(all.back().ok);
    // Nothing was shared twice: one successful share per item.
    std::map<int, int> successes;
    for (const ShareRecord& record : all) successes[record.item] += record.ok ? 1 : 0;
    for (const auto& [item, count] : successes)
      QVERIFY2(count == 1, qPrintable(QString::number(item)));
    QCOMPARE(successes.size(), std::size_t{6});

    // With nothing failed any more, a further re-send has nothing to do.
    h.resend();
    QCOMPARE(h.dialogs.lastMessage().text, refusalText(Refusal::NoFailures));
    QCOMPARE(h.shares().size(), all.size());
  }
};

QTEST_MAIN(ShareFlowTest)
#include "share_flow_test.moc"
