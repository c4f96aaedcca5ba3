#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "app/address_view.h"
#include "app/share_messages.h"
#include "app/widget_share_settings.h"
#include "share/address_file.h"
#include "share/address_import.h"
#include "share/address_list_model.h"
#include "share/share_engine.h"
#include "tests/doubles/recording_dialogs.h"

using namespace quillet;

namespace {

QStringList addresses(const AddressListModel& model) {
  QStringList out;
  for (int row = 0; row < model.rowCountInt(); ++row) out << model.cell(row);
  return out;
}

// An import as "导入地址" runs it, through the engine as the window binds
// it: the file asked for, its rows, a file that cannot be read told in a
// message box, then the count shown in the status bar whether or not a file
// was chosen.
int importCounting(RecordingDialogs& dialogs, AddressListModel& model, QLabel& imported) {
  QLineEdit period;
  QCheckBox loop;
  QCheckBox comment;
  QListWidget pool;
  WidgetShareSettings settings(&period, &loop, &comment, &pool);
  ShareEngine engine(model, settings, nullptr, SiteProfile{});
  showShareMessages(engine, dialogs);
  QObject::connect(&engine, &ShareEngine::importedText, &imported, &QLabel::setText);
  return importThroughDialog(engine, dialogs).inserted;
}

}  // namespace

class AddressListTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  int fileCounter_ = 0;

  QString writeFile(const QByteArray& bytes) {
    const QString path = dir_.filePath(QStringLiteral("list%1.txt").arg(++fileCounter_));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
  }

 private Q_SLOTS:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void headersAndWidths() {
    AddressListModel model;
    QCOMPARE(model.columnCount(), 3);
    const QString first = model.headerData(0, Qt::Horizontal).toString();
    QCOMPARE(first.size(), 33);
    QCOMPARE(first, QString(31, QLatin1Char(' ')) + QStringLiteral("地址"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("状态"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("发布时间"));
    QVERIFY(!model.headerData(3, Qt::Horizontal).isValid());

    QTreeView view;
    configureAddressView(&view, &model);
    QCOMPARE(view.header()->sectionSize(0), 400);
    QCOMPARE(view.header()->sectionSize(1), 100);
    QCOMPARE(view.header()->sectionSize(2), 200);
    QCOMPARE(view.model()->headerData(0, Qt::Horizontal).toString(), first);
  }

  void rowOperations() {
    AddressListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.insertRow(0, QStringLiteral("a"));
    model.insertRow(0, QStringLiteral("b"));
    model.insertRow(99, QStringLiteral("end"));  // past the end: appended
    model.insertRows(1, {QStringLiteral("m1"), QStringLiteral("m2")});
    QCOMPARE(addresses(model),
             (QStringList{QStringLiteral("b"), QStringLiteral("m1"), QStringLiteral("m2"),
                          QStringLiteral("a"), QStringLiteral("end")}));
    QCOMPARE(inserted.count(), 4);
    QCOMPARE(inserted.last().at(1).toInt(), 1);  // the batch is one operation
    QCOMPARE(inserted.last().at(2).toInt(), 2);

    QCOMPARE(model.cell(1, 1), QString());  // new rows: empty status and time
    model.setCell(1, 1, QStringLiteral("成功"));
    model.setCell(1, 2, QStringLiteral("2026-12-08 19:03:05"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("成功"));
    QCOMPARE(model.cell(1, 2), QStringLiteral("2026-12-08 19:03:05"));

    // Cells that do not exist read empty and ignore writes.
    model.setCell(5, 1, QStringLiteral("x"));
    model.setCell(-1, 0, QStringLiteral("x"));
    model.setCell(0, 3, QStringLiteral("x"));
    QCOMPARE(model.cell(5), QString());
    QCOMPARE(model.cell(0, 3), QString());
    QCOMPARE(model.rowCountInt(), 5);

    model.clear();
    QCOMPARE(model.rowCountInt(), 0);
    QCOMPARE(model.rowCount(), 0);
  }

  void lineSplitting_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("three lines") << QByteArray("x1\nx2\nx3\n")
                                 << QStringList{QStringLiteral("x1"), QStringLiteral("x2"),
                                                QStringLiteral("x3")};
    QTest::newRow("no final terminator")
        << QByteArray("only") << QStringList{QStringLiteral("only")};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\nc")
                          << QStringList{QStringLiteral("a"), QStringLiteral("b"),
                                         QStringLiteral("c")};
    QTest::newRow("empty line between")
        << QByteArray("a\n\nb\n")
        << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
    QTest::newRow("empty line at end")
        << QByteArray("a\n\n") << QStringList{QStringLiteral("a"), QString()};
    QTest::newRow("lone cr stays") << QByteArray("a\rb\n") << QStringList{QStringLiteral("a\rb")};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("just a terminator") << QByteArray("\r\n") << QStringList{QString()};
    QTest::newRow("gbk") << QByteArray("http://x/\xb1\xa6\xb1\xb4?id=1\r\n\xb3\xc9\xb9\xa6")
                         << QStringList{QStringLiteral("http://x/宝贝?id=1"),
                                        QStringLiteral("成功")};
    QTest::newRow("utf-8") << QByteArray("http://x/宝贝?id=1\n成功\n")
                           << QStringList{QStringLiteral("http://x/宝贝?id=1"),
                                          QStringLiteral("成功")};
    QTest::newRow("utf-8 bom ascii") << QByteArray(
                                            "\xef\xbb\xbf"
                                            "a\nb")
                                     << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("utf-8 bom with invalid bytes")
        << QByteArray("\xef\xbb\xbf\xff宝\n") << QStringList{QStringLiteral("\uFFFD宝")};
  }
  void lineSplitting() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(decodeAddressLines(bytes), lines);
  }

  void invalidGbkBytesNeverDropALine() {
    // A lead byte before the terminator, a lone 0x80 and a 0xFF: every line
    // survives and the valid text around the bad bytes stays intact.
    const QStringList lines =
        decodeAddressLines(QByteArray("a\x81\nb\x80\xb1\xa6\n\xff"
                                      "c\r\nd"));
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith(QLatin1Char('a')));
    QVERIFY(lines[1].startsWith(QLatin1Char('b')));
    QVERIFY(lines[1].endsWith(QStringLiteral("宝")));
    QVERIFY(lines[2].endsWith(QLatin1Char('c')));
    QCOMPARE(lines[3], QStringLiteral("d"));
  }

  void utf8Detection() {
    QVERIFY(isMultiByteUtf8("宝贝", qstrlen("宝贝")));
    QVERIFY(!isMultiByteUtf8("ascii only", 10));
    QVERIFY(!isMultiByteUtf8("\xb1\xa6\xb1\xb4", 4));  // GBK
    QVERIFY(!isMultiByteUtf8("\xc0\xaf", 2));          // overlong
    QVERIFY(!isMultiByteUtf8("\xed\xa0\x80", 3));      // surrogate
    QVERIFY(!isMultiByteUtf8("\xe5\xae", 2));          // cut short
  }

  void importPutsFilesOnTopInReverse() {
    AddressListModel model;
    RecordingDialogs dialogs;
    QLabel imported;
    dialogs.setNextFileName(writeFile("x1\nx2\nx3\n"));
    dialogs.setNextFileName(writeFile("y1\r\ny2"));
    QCOMPARE(importCounting(dialogs, model, imported), 3);
    QCOMPARE(imported.text(), QStringLiteral("已导入3个地址"));
    QCOMPARE(importCounting(dialogs, model, imported), 2);
    QCOMPARE(addresses(model),
             (QStringList{QStringLiteral("y2"), QStringLiteral("y1"), QStringLiteral("x3"),
                          QStringLiteral("x2"), QStringLiteral("x1")}));
    QCOMPARE(imported.text(), QStringLiteral("已导入5个地址"));
    QCOMPARE(model.cell(0, 1), QString());
    QCOMPARE(model.cell(0, 2), QString());
    QVERIFY(dialogs.messages().isEmpty());

    // Cancelled dialog: no rows, the count is still written.
    imported.setText(QStringLiteral("stale"));
    QCOMPARE(importCounting(dialogs, model, imported), 0);
    QCOMPARE(model.rowCountInt(), 5);
    QCOMPARE(imported.text(), QStringLiteral("已导入5个地址"));
    QCOMPARE(dialogs.fileDialogCount(), 3);
  }

  void importChineseAddressesInEitherEncoding() {
    AddressListModel model;
    RecordingDialogs dialogs;
    QLabel imported;
    dialogs.setNextFileName(writeFile("http://x/\xb1\xa6\xb1\xb4\n"));
    dialogs.setNextFileName(writeFile("http://x/链接\n"));
    importCounting(dialogs, model, imported);
    importCounting(dialogs, model, imported);
    QCOMPARE(addresses(model),
             (QStringList{QStringLiteral("http://x/链接"), QStringLiteral("http://x/宝贝")}));
  }

  void unreadableFileLeavesRowsAndSaysWhy_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << dir_.filePath(QStringLiteral("no-such-file.txt"));
    QTest::newRow("directory") << dir_.path();
  }
  void unreadableFileLeavesRowsAndSaysWhy() {
    QFETCH(QString, path);
    AddressListModel model;
    model.insertRows(0, {QStringLiteral("keep1"), QStringLiteral("keep2")});
    RecordingDialogs dialogs;
    QLabel imported(QStringLiteral("stale"));
    dialogs.setNextFileName(path);
    QCOMPARE(importCounting(dialogs, model, imported), 0);
    QCOMPARE(addresses(model), (QStringList{QStringLiteral("keep1"), QStringLiteral("keep2")}));
    QCOMPARE(imported.text(), QStringLiteral("已导入2个地址"));
    QCOMPARE(dialogs.messages().size(), 1);
    // An information box titled as the button, not a warning.
    QCOMPARE(dialogs.lastMessage().title, QStringLiteral("导入地址"));
    QVERIFY(!dialogs.lastMessage().warning);
    const QString text = dialogs.lastMessage().text;
    QVERIFY2(text.startsWith(QStringLiteral("无法读取文件 ")), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
    // The reason follows the file name.
    const QString reason = text.mid(text.indexOf(QStringLiteral("：")) + 1);
    QVERIFY2(reason.size() > 3, qPrintable(text));
  }

  // Blank lines are no addresses: the import leaves them out and its message
  // counts them. A device (endless) and a file over the limit are refused
  // with the reason, before anything is read into memory.
  void blankLinesAndFilesThatAreNoList() {
    AddressListModel model;
    const ImportResult result = importAddressFile(model, writeFile("a\n\n  \t\nb\r\n\r\n"));
    QCOMPARE(result.inserted, 2);
    QVERIFY(!result.failure);
    QCOMPARE(result.blankLines, 3);
    QCOMPARE(addresses(model), (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    QCOMPARE(importedText(2, result.blankLines), QStringLiteral("已导入2个地址（跳过3个空行）"));
    QCOMPARE(importedText(2), QStringLiteral("已导入2个地址"));

    const QString huge = dir_.filePath(QStringLiteral("huge.txt"));
    {
      QFile file(huge);
      QVERIFY(file.open(QIODevice::WriteOnly));
      QVERIFY(file.resize(kMaxAddressFileBytes + 1));  // sparse
    }
    for (const QString& path : {QStringLiteral("/dev/zero"), huge}) {
      const ImportResult refused = importAddressFile(model, path);
      QVERIFY(refused.failure);
      QCOMPARE(refused.inserted, 0);
      QCOMPARE(refused.failure->path, path);
      const QString text = importFailureText(*refused.failure);
      QVERIFY2(text.contains(path == huge ? QStringLiteral("文件大于256 MiB")
                                          : QStringLiteral("不是普通文件")),
               qPrintable(text));
    }
    QCOMPARE(model.rowCountInt(), 2);
  }
};

QTEST_MAIN(AddressListTest)
#include "address_list_test.moc"
