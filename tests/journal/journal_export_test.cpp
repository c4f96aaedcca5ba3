// The results file as a spreadsheet or a script reads it (Python's csv
// module), and the failed addresses as the import reads them back.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/csv_export.h"
#include "share/address_file.h"

using namespace quillet;

namespace {

// Reads a CSV file with Python's csv module; the rows as JSON arrays.
QJsonArray readWithPython(const QString& path) {
  QProcess python;
  python.start(QStringLiteral("python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import csv, json, sys\n"
                               "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                               "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n"),
                path});
  if (!python.waitForFinished(30000) || python.exitCode() != 0) {
    qWarning() << python.readAllStandardError();
    return {};
  }
  return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

}  // namespace

class JournalExportTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void csvReadsBackAsTheList() {
    const QList<JournalRow> rows{
        {QStringLiteral("http://item.example.cn/1.htm?a=1,b=2"), QStringLiteral("成功"),
         QStringLiteral("2026-12-09 01:02:03")},
        {QStringLiteral("say \"hi\""), QStringLiteral("失败"), QString()},
        {QStringLiteral("two\nlines\r\nthree"), QStringLiteral("地址错误"), QString()},
        {QString(), QString(), QString()},
        {QStringLiteral("  padded  "), QStringLiteral("未确认"), QStringLiteral("t")},
        {QStringLiteral("宝贝/連結/😀"), QString(), QStringLiteral("2026-12-08 23:59:59")},
        {QStringLiteral("\"\""), QStringLiteral(","), QStringLiteral("\r")},
        // What a spreadsheet would run as a formula.
        {QStringLiteral("=HYPERLINK(\"http://x\",\"y\")"), QStringLiteral("+1"),
         QStringLiteral("-2")},
        {QStringLiteral("@SUM(A1)"), QStringLiteral("\tcmd"), QStringLiteral("a=b")},
    };
    // Such a field is read back with a leading ' (a spreadsheet shows it as
    // text and hides the mark); every other field exactly as written.
    const auto shown = [](const QString& text) {
      static const QString formulaStarts = QStringLiteral("=+-@\t\r");
      return !text.isEmpty() && formulaStarts.contains(text.front()) ? u'\'' + text : text;
    };
    const QByteArray bytes = resultsCsv(rows);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.mid(3).startsWith(QStringLiteral("地址,状态,发布时间\r\n").toUtf8()));

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("结果.csv"));
    QString error;
    QVERIFY2(writeExportFile(path, bytes, error), qPrintable(error));
    const QJsonArray read = readWithPython(path);
    QCOMPARE(read.size(), rows.size() + 1);
    QCOMPARE(read[0].toArray(), (QJsonArray{QStringLiteral("地址"), QStringLiteral("状态"),
                                            QStringLiteral("发布时间")}));
    for (int i = 0; i < rows.size(); ++i) {
      const QJsonArray fields = read[i + 1].toArray();
      QCOMPARE(fields.size(), 3);
      QCOMPARE(fields[0].toString(), shown(rows[i].address));
      QCOMPARE(fields[1].toString(), shown(rows[i].status));
      QCOMPARE(fields[2].toString(), shown(rows[i].publishTime));
    }
    // An empty list still gives the header.
    QVERIFY(writeExportFile(path, resultsCsv({}), error));
    QCOMPARE(readWithPython(path).size(), 1);
  }

  void failedAddressesImportAgain() {
    const QStringList failed{QStringLiteral("http://item.example.cn/宝贝/1.htm?来源=分享"),
                             QStringLiteral("http://b/2"), QStringLiteral("http://b/2")};
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("失败.txt"));
    QString error;
    QVERIFY(writeExportFile(path, failedAddressesText(failed), error));
    const AddressFileContents read = readAddressFile(path);
    QVERIFY(read.ok);
    QCOMPARE(read.lines, failed);
  }

  void unwritableTargetKeepsTheOldFile() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!writeExportFile(QDir(dir.path()).filePath(QStringLiteral("no/such/dir/x.csv")),
                             resultsCsv({}), error));
    QVERIFY(!error.isEmpty());
    // A file that is there stays whole until the new one is complete.
    const QString path = QDir(dir.path()).filePath(QStringLiteral("x.csv"));
    QVERIFY(writeExportFile(path, "old", error));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool wrote = writeExportFile(path, "new", error);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), wrote ? QByteArray("new") : QByteArray("old"));
  }
};

QTEST_GUILESS_MAIN(JournalExportTest)
#include "journal_export_test.moc"
