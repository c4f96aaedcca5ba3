// `quillet run` as a process against the demo site: the kept session of a
// `quillet login` run before it, results on standard output that equal the
// site's record, the refusals, and a stop by SIGTERM mid-pass.
#include <signal.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>

#include "demo/demo_site.h"
#include "share/row_pacing.h"
#include "tests/share/share_harness.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::runQuillet;
using quillet::testing::writeFile;

namespace {

constexpr char kCaptcha[] = "7139";
constexpr int kFailingItem = 502;
// Short designed waits, yet long enough for the site's pages to answer.
constexpr double kTimeScale = 0.1;

// Splits RFC 4180 records (CRLF line ends, quoted fields) into fields.
QList<QStringList> parseCsv(const QString& text) {
  QList<QStringList> records;
  QStringList fields;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (quoted) {
      if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
        field += u'"';
        ++i;
      } else if (c == u'"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == u'"') {
      quoted = true;
    } else if (c == u',') {
      fields << field;
      field.clear();
    } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
      fields << field;
      records << fields;
      fields.clear();
      field.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return records;
}

}  // namespace

class RunCommandTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;
  QTemporaryDir signedIn_;  // the data folder `quillet login` signed in

  QString site() const { return QString::fromStdString(site_->baseUrl()); }
  QString item(int id) const { return QString::fromStdString(site_->itemUrl(id)); }

  QStringList runArgs(const QString& list, const QString& dataDir) const {
    return {QStringLiteral("run"),        list,   QStringLiteral("--site"), site(),
            QStringLiteral("--data-dir"), dataDir};
  }

  // The site's record by address: the share of each address (one each here).
  std::map<QString, ShareRecord> recordByAddress() const {
    std::map<QString, ShareRecord> byAddress;
    for (const ShareRecord& r : site_->shares()) {
      byAddress[QString::fromStdString(r.address)] = r;
    }
    return byAddress;
  }

 private Q_SLOTS:
  void initTestCase() {
    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    options.failItems = {kFailingItem};
    site_ = std::make_unique<DemoSite>(options);
    QVERIFY(site_->start());
    QProcessEnvironment env = headlessEnvironment(kTimeScale);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("demo123"));
    const ProcessResult login = runQuillet(
        {QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("demo"),
         QStringLiteral("--site"), site(), QStringLiteral("--data-dir"), signedIn_.path()},
        QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(login.exitCode == 0, qPrintable(describe(login)));
  }

  void init() { site_->clearShares(); }

  // A data folder that never signed in: exit 3 with the hint, before any row.
  // A period below 21 is refused with the window's text; a missing file too.
  void refusals() {
    QTemporaryDir fresh;
    const QString list = fresh.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeFile(list, item(1).toUtf8() + "\n"));
    const ProcessResult signedOut =
        runQuillet(runArgs(list, fresh.path()), {}, headlessEnvironment(kTimeScale));
    QVERIFY2(signedOut.exitCode == 3, qPrintable(describe(signedOut)));
    QVERIFY(signedOut.err.contains(QStringLiteral("未登录：请先运行 quillet login")));
    QVERIFY(signedOut.out.isEmpty());
    QVERIFY(site_->shares().empty());

    QStringList tooShort = runArgs(list, signedIn_.path());
    tooShort << QStringLiteral("--period") << QStringLiteral("20");
    const ProcessResult period = runQuillet(tooShort, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(period.exitCode == 2, qPrintable(describe(period)));
    QVERIFY(period.err.contains(
        QStringLiteral("请先导入地址和设定周期（必须大于21秒，否则你的帐号可能会被禁言）")));
    // The window's message, alone on its line.
    QVERIFY2(period.err.split(u'\n').contains(QStringLiteral(
                 "请先导入地址和设定周期（必须大于21秒，否则你的帐号可能会被禁言）")),
             qPrintable(describe(period)));

    const ProcessResult missing =
        runQuillet(runArgs(fresh.filePath(QStringLiteral("none.txt")), signedIn_.path()), {},
                   headlessEnvironment(kTimeScale));
    QVERIFY2(missing.exitCode == 2, qPrintable(describe(missing)));
    QVERIFY(site_->shares().empty());
  }

  // After the login in another process, a run needs no sign-in. The file is
  // shared from its first line to its last, blank lines left out (and
  // counted); the results on standard output, CSV and then JSON lines, equal
  // the site's record. Hostile addresses stay harmless: one that a
  // spreadsheet would take for a formula gets a leading ' in CSV, control
  // characters become U+FFFD there; JSON carries both exactly. The --csv
  // file is the window's export format, with its byte-order mark.
  void resultsEqualTheSitesRecord_data() {
    QTest::addColumn<bool>("json");
    QTest::newRow("csv") << false;
    QTest::newRow("json") << true;
  }
  void resultsEqualTheSitesRecord() {
    QFETCH(bool, json);
    QTemporaryDir work;
    const QString list = work.filePath(QStringLiteral("list.txt"));
    const QString wrong = QStringLiteral("http://example.invalid/no,\"item\"");
    const QString formula = QStringLiteral("=HYPERLINK(\"http://example.invalid\")");
    const QString control = QStringLiteral("http://example.invalid/\x1b[31mred");
    QVERIFY(
        writeFile(list, (item(11) + u'\n' + wrong + QStringLiteral("\n  \n") + item(kFailingItem) +
                         u'\n' + item(12) + u'\n' + formula + u'\n' + control + u'\n')
                            .toUtf8()));
    QStringList args = runArgs(list, signedIn_.path());
    const QString csvFile = work.filePath(QStringLiteral("all.csv"));
    args << QStringLiteral("--csv") << csvFile;
    if (json) args << QStringLiteral("--json");
    const ProcessResult r = runQuillet(args, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(r.exitCode == 1, qPrintable(describe(r)));  // one 失败, three 地址错误
    QVERIFY2(r.err.contains(QStringLiteral("已导入6个地址（跳过1个空行）")), qPrintable(r.err));

    // Rows from the standard output, in list order.
    QList<QStringList> rows;
    if (json) {
      const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
      for (int i = 0; i < lines.size(); ++i) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(lines[i]));
        QCOMPARE(o.value(QStringLiteral("row")).toInt(), i + 1);
        rows << QStringList{o.value(QStringLiteral("address")).toString(),
                            o.value(QStringLiteral("status")).toString(),
                            o.value(QStringLiteral("time")).toString()};
      }
    } else {
      rows = parseCsv(r.out);
      QVERIFY(!rows.isEmpty());
      QCOMPARE(rows.takeFirst(), (QStringList{QStringLiteral("地址"), QStringLiteral("状态"),
                                              QStringLiteral("发布时间")}));
    }
    QCOMPARE(rows.size(), 6);
    const QString shownFormula = json ? formula : u'\'' + formula;
    const QString shownControl =
        json ? control : QString(control).replace(QChar(0x1b), QChar(QChar::ReplacementCharacter));
    const QStringList expectedOrder{item(11), wrong,        item(kFailingItem),
                                    item(12), shownFormula, shownControl};
    const QStringList expectedStatus{QStringLiteral("成功"),     QStringLiteral("地址错误"),
                                     QStringLiteral("失败"),     QStringLiteral("成功"),
                                     QStringLiteral("地址错误"), QStringLiteral("地址错误")};
    const std::map<QString, ShareRecord> record = recordByAddress();
    for (int i = 0; i < rows.size(); ++i) {
      QCOMPARE(rows[i].value(0), expectedOrder[i]);
      QCOMPARE(rows[i].value(1), expectedStatus[i]);
      const auto shared = record.find(rows[i].value(0));
      if (expectedStatus[i] == QStringLiteral("地址错误")) {
        QVERIFY(shared == record.end());
        QVERIFY(rows[i].value(2).isEmpty());
        continue;
      }
      if (expectedStatus[i] == QStringLiteral("失败")) {
        // Refused by the site, or never confirmed: either way not shared.
        QVERIFY(shared == record.end() || !shared->second.ok);
        QVERIFY(rows[i].value(2).isEmpty());
        continue;
      }
      QVERIFY2(shared != record.end() && shared->second.ok, qPrintable(rows[i].value(0)));
      QCOMPARE(shared->second.account, std::string("demo"));
      QVERIFY2(writtenJustAfter(rows[i].value(2), shared->second.time),
               qPrintable(rows[i].value(2)));
    }
    int made = 0;
    for (const ShareRecord& share : site_->shares()) made += share.ok ? 1 : 0;
    QCOMPARE(made, 2);

    // --csv FILE holds the whole list at the end, as CSV either way.
    QFile all(csvFile);
    QVERIFY(all.open(QIODevice::ReadOnly));
    const QByteArray savedBytes = all.readAll();
    QVERIFY(savedBytes.startsWith("\xEF\xBB\xBF"));
    QList<QStringList> saved = parseCsv(QString::fromUtf8(savedBytes.mid(3)));
    QVERIFY(!saved.isEmpty());
    saved.removeFirst();
    if (json) {
      rows[4][0] = u'\'' + formula;
      rows[5][0] = QString(control).replace(QChar(0x1b), QChar(QChar::ReplacementCharacter));
    }
    QCOMPARE(saved, rows);
  }

  // SIGTERM mid-pass: the pass ends at the next step boundary, the summary
  // is printed, the exit status is 143, and every share the site made was
  // reported as 成功 (nothing shared unreported, nothing reported unshared).
  void sigtermStopsAtAStepBoundary() {
    QTemporaryDir work;
    const QString list = work.filePath(QStringLiteral("list.txt"));
    QByteArray lines;
    for (int id = 21; id <= 40; ++id) lines += item(id).toUtf8() + '\n';
    QVERIFY(writeFile(list, lines));
    QProcess run;
    run.setProcessEnvironment(headlessEnvironment(kTimeScale));
    run.start(quillet::testing::quilletPath(), runArgs(list, signedIn_.path()));
    QVERIFY(run.waitForStarted());
    // Two rows finished: their lines (after the header) are out.
    QByteArray out;
    {
      QString why;
      QVERIFY2(quillet::testing::waitForLines(run, out, 3, 120000, &why), qPrintable(why));
    }
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromUtf8(run.readAllStandardError());
    out += run.readAllStandardOutput();
    QVERIFY2(run.exitCode() == 143, qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("已停止")), qPrintable(err));

    QList<QStringList> rows = parseCsv(QString::fromUtf8(out));
    rows.removeFirst();
    QVERIFY(rows.size() >= 2 && rows.size() < 20);
    std::map<QString, ShareRecord> record = recordByAddress();
    QCOMPARE(record.size(), size_t(rows.size()));
    for (const QStringList& row : rows) {
      QCOMPARE(row.value(1), QStringLiteral("成功"));
      QVERIFY2(record.count(row.value(0)) == 1, qPrintable(row.value(0)));
    }

    // The journal kept the place: --resume shares the rest, each item once.
    QStringList args = runArgs(list, signedIn_.path());
    args << QStringLiteral("--resume");
    const ProcessResult resumed = runQuillet(args, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(resumed.exitCode == 0, qPrintable(describe(resumed)));
    QCOMPARE(parseCsv(resumed.out).size() - 1, 20 - rows.size());
    std::map<int, int> made;
    for (const ShareRecord& share : site_->shares()) made[share.item] += share.ok ? 1 : 0;
    for (int id = 21; id <= 40; ++id) {
      QVERIFY2(made[id] == 1, qPrintable(QStringLiteral("item %1: %2").arg(id).arg(made[id])));
    }
  }

  // SIGKILL mid-pass loses nothing: `--resume` goes on from the journal and
  // every item is shared exactly once. While the first run holds the data
  // folder, a second one is refused with status 5.
  void killThenResumeSharesEachItemOnce() {
    QTemporaryDir work;
    const QString list = work.filePath(QStringLiteral("list.txt"));
    QByteArray lines;
    for (int id = 81; id <= 88; ++id) lines += item(id).toUtf8() + '\n';
    QVERIFY(writeFile(list, lines));
    QProcess first;
    first.setProcessEnvironment(headlessEnvironment(kTimeScale));
    first.start(quillet::testing::quilletPath(), runArgs(list, signedIn_.path()));
    QVERIFY(first.waitForStarted());
    QByteArray out;
    {
      QString why;
      QVERIFY2(quillet::testing::waitForLines(first, out, 3, 120000, &why), qPrintable(why));
    }

    const ProcessResult second =
        runQuillet(runArgs(list, signedIn_.path()), {}, headlessEnvironment(kTimeScale));
    QVERIFY2(second.exitCode == 5, qPrintable(describe(second)));
    QVERIFY(second.out.isEmpty());

    first.kill();  // SIGKILL
    QVERIFY(first.waitForFinished(10000));
    QStringList args = runArgs(list, signedIn_.path());
    args << QStringLiteral("--resume");
    const ProcessResult resumed = runQuillet(args, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(resumed.exitCode == 0 || resumed.exitCode == 1, qPrintable(describe(resumed)));
    QVERIFY2(resumed.err.contains(QStringLiteral("继续上次中断的分享")), qPrintable(resumed.err));

    std::map<int, int> made;
    for (const ShareRecord& share : site_->shares()) made[share.item] += share.ok ? 1 : 0;
    for (int id = 81; id <= 88; ++id) {
      QVERIFY2(made[id] == 1, qPrintable(QStringLiteral("item %1 shared %2 times\n%3")
                                             .arg(id)
                                             .arg(made[id])
                                             .arg(describe(resumed))));
    }
  }

  // Killed in the wait after the last share: the pass is finished already,
  // so --resume shares nothing and says so; a pass that is interrupted goes
  // on only with the file it came from.
  void resumeAfterTheLastShareSharesNothing() {
    QTemporaryDir work;
    const QString data = signedIn_.path();
    const QString list = work.filePath(QStringLiteral("last.txt"));
    QVERIFY(
        writeFile(list, (item(91) + QLatin1Char('\n') + item(92) + QLatin1Char('\n')).toUtf8()));
    QStringList args = runArgs(list, data);
    // A long final wait (scaled: 5 s) after each share.
    args << QStringLiteral("--period") << QStringLiteral("75");
    QProcess first;
    first.setProcessEnvironment(headlessEnvironment(kTimeScale));
    first.start(quillet::testing::quilletPath(), args);
    QVERIFY(first.waitForStarted());
    QByteArray out;
    {
      QString why;
      QVERIFY2(quillet::testing::waitForLines(first, out, 3, 120000, &why), qPrintable(why));
    }
    first.kill();  // SIGKILL in the wait after the last row
    QVERIFY(first.waitForFinished(10000));

    QStringList again = runArgs(list, data);
    again << QStringLiteral("--resume");
    const ProcessResult resumed = runQuillet(again, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(resumed.exitCode == 0, qPrintable(describe(resumed)));
    QVERIFY2(resumed.err.contains(QStringLiteral("上次的分享已经完成")), qPrintable(resumed.err));
    QVERIFY2(resumed.out.isEmpty(), qPrintable(resumed.out));
    std::map<int, int> made;
    for (const ShareRecord& share : site_->shares()) made[share.item] += share.ok ? 1 : 0;
    QCOMPARE(made[91], 1);
    QCOMPARE(made[92], 1);

    // An interrupted pass of another file: --resume names it and shares nothing.
    const QString other = work.filePath(QStringLiteral("other.txt"));
    QVERIFY(
        writeFile(other, (item(93) + QLatin1Char('\n') + item(94) + QLatin1Char('\n')).toUtf8()));
    QStringList otherArgs = runArgs(other, data);
    otherArgs << QStringLiteral("--period") << QStringLiteral("75");
    QProcess second;
    second.setProcessEnvironment(headlessEnvironment(kTimeScale));
    second.start(quillet::testing::quilletPath(), otherArgs);
    QVERIFY(second.waitForStarted());
    out.clear();
    {
      QString why;
      QVERIFY2(quillet::testing::waitForLines(second, out, 2, 120000, &why), qPrintable(why));
    }
    second.kill();
    QVERIFY(second.waitForFinished(10000));
    const std::size_t sharesBefore = site_->shares().size();
    const ProcessResult wrongFile = runQuillet(again, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(wrongFile.exitCode == 2, qPrintable(describe(wrongFile)));
    QVERIFY2(wrongFile.err.contains(QStringLiteral("other.txt")), qPrintable(wrongFile.err));
    QCOMPARE(site_->shares().size(), sharesBefore);
  }

  // check: a dry run in the kept session shares nothing; signed out it
  // exits 3. A refused profile file stops every subcommand with its
  // file:line message (exit 2); the printed built-in profile is accepted back.
  void siteCheckAndProfiles() {
    const ProcessResult check = runQuillet({QStringLiteral("check"), QStringLiteral("--site"),
                                            site(), QStringLiteral("--data-dir"), signedIn_.path()},
                                           {}, headlessEnvironment(kTimeScale));
    QVERIFY2(check.exitCode == 0, qPrintable(describe(check)));
    QVERIFY(check.out.count(QStringLiteral(": ok\n")) >= 3);
    QVERIFY(site_->shares().empty());

    QTemporaryDir fresh;
    const ProcessResult signedOut = runQuillet({QStringLiteral("check"), QStringLiteral("--site"),
                                                site(), QStringLiteral("--data-dir"), fresh.path()},
                                               {}, headlessEnvironment(kTimeScale));
    QVERIFY2(signedOut.exitCode == 3, qPrintable(describe(signedOut)));

    const ProcessResult printed =
        runQuillet({QStringLiteral("profile"), QStringLiteral("--print-default")});
    QCOMPARE(printed.exitCode, 0);
    const QString good = fresh.filePath(QStringLiteral("good.toml"));
    const QString bad = fresh.filePath(QStringLiteral("bad.toml"));
    QVERIFY(writeFile(good, printed.out.toUtf8()));
    QVERIFY(writeFile(bad, "# fine\nno_such_key = 1\n"));
    const QString list = fresh.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeFile(list, item(1).toUtf8() + "\n"));
    for (const QString& command :
         {QStringLiteral("login"), QStringLiteral("run"), QStringLiteral("check")}) {
      QStringList args{command};
      if (command == QLatin1String("run")) args << list;
      args << QStringLiteral("--site") << site() << QStringLiteral("--data-dir") << signedIn_.path()
           << QStringLiteral("--profile") << bad;
      const ProcessResult refused = runQuillet(args, {}, headlessEnvironment(kTimeScale));
      QVERIFY2(refused.exitCode == 2, qPrintable(command + u'\n' + describe(refused)));
      QVERIFY2(refused.err.contains(bad + QStringLiteral(":2:")), qPrintable(refused.err));
    }
    const ProcessResult withGood = runQuillet(
        {QStringLiteral("check"), QStringLiteral("--site"), site(), QStringLiteral("--data-dir"),
         signedIn_.path(), QStringLiteral("--profile"), good},
        {}, headlessEnvironment(kTimeScale));
    QVERIFY2(withGood.exitCode == 0, qPrintable(describe(withGood)));
    QVERIFY(site_->shares().empty());
  }

  // --jitter S: each final pacing wait gets a uniform 0..S s more. The waits
  // are read from the run's own log (--verbose), not timed.
  void jitterStaysWithinItsBounds() {
    QTemporaryDir work;
    const QString list = work.filePath(QStringLiteral("list.txt"));
    QByteArray lines;
    for (int id = 61; id <= 66; ++id) lines += item(id).toUtf8() + '\n';
    QVERIFY(writeFile(list, lines));
    QStringList args = runArgs(list, signedIn_.path());
    args << QStringLiteral("--period") << QStringLiteral("26") << QStringLiteral("--jitter")
         << QStringLiteral("8") << QStringLiteral("--verbose");
    const ProcessResult r = runQuillet(args, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
    static const QRegularExpression wait(QStringLiteral("周期等待 ([0-9.]+) 秒"));
    QList<double> waits;
    for (auto it = wait.globalMatch(r.err); it.hasNext();) {
      waits << it.next().captured(1).toDouble();
    }
    QCOMPARE(waits.size(), 6);
    // Period 26: 1 s of designed pacing, plus 0 to 8 s.
    for (double w : waits) QVERIFY2(w >= 1.0 && w <= 9.0, qPrintable(QString::number(w)));
    QVERIFY2(*std::max_element(waits.begin(), waits.end()) -
                     *std::min_element(waits.begin(), waits.end()) >
                 0.01,
             "the same wait every time: no jitter");

    // The run says as it starts what gap the period gives, the fixed waits' sum
    // included, and its progress the time an address really took: never
    // less than the waits between two results (the fixed waits + 1 s, scaled).
    const qsizetype start = r.err.indexOf(QStringLiteral("开始分享"));
    QVERIFY2(start >= 0, qPrintable(r.err));
    const QString firstLine = r.err.mid(start).section(u'\n', 0, 0);
    QVERIFY2(firstLine.startsWith(QStringLiteral("开始分享：第1个地址起，共6个；")),
             qPrintable(r.err));
    QVERIFY2(
        firstLine.endsWith(QStringLiteral(
            "周期26秒：每个地址约18.6至26.6秒＋网页加载（固定17.6秒＋周期等待1秒＋随机0至8秒）")),
        qPrintable(firstLine));
    static const QRegularExpression measured(QStringLiteral("实际每个约([0-9.]+)秒"));
    QList<double> perRow;
    for (auto it = measured.globalMatch(r.err); it.hasNext();) {
      perRow << it.next().captured(1).toDouble();
    }
    QCOMPARE(perRow.size(), 6);  // one progress line per row
    QVERIFY2(perRow.last() >= double(designedRowMicros(26.0)) / 1e6 * kTimeScale - 0.05,
             qPrintable(r.err));
  }
};

QTEST_GUILESS_MAIN(RunCommandTest)
#include "run_command_test.moc"
