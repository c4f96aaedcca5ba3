// One Quillet per data folder: a live holder keeps others out however old
// its lock, a dead one's lock is taken over.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/data_folder_lock.h"

using namespace quillet;

namespace {

// A lock file as QLockFile writes it, claimed by `pid` running `program`.
bool writeLockFile(const QString& path, qint64 pid, const QString& program) {
  QFile f(path);
  const QByteArray text = QByteArray::number(pid) + '\n' + program.toUtf8() + '\n' +
                          QSysInfo::machineHostName().toUtf8() + '\n';
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

bool setAge(const QString& path, int hours) {
  QFile f(path);
  return f.open(QIODevice::ReadWrite) &&
         f.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * hours),
                       QFileDevice::FileModificationTime);
}

}  // namespace

class DataFolderLockTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void secondHolderIsRefusedUntilReleased() {
    QTemporaryDir dir;
    const QString data = QDir(dir.path()).filePath(QStringLiteral("新建 文件夹"));
    auto first = std::make_unique<DataFolderLock>(data);
    QVERIFY(first->tryLock());  // creates the folder
    QVERIFY(QFile::exists(first->lockPath()));
    DataFolderLock second(data);
    QVERIFY(!second.tryLock());
    QVERIFY(second.heldByAnother());
    QCOMPARE(second.errorText(), QStringLiteral("另一个Quillet正在使用此数据文件夹：") +
                                     QDir::toNativeSeparators(data));
    first.reset();
    QVERIFY(!QFile::exists(second.lockPath()));
    QVERIFY(second.tryLock());
  }

  void liveProcessKeepsItsOldLock() {
    QTemporaryDir dir;
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(holder.waitForStarted());
    DataFolderLock lock(dir.path());
    QVERIFY(writeLockFile(lock.lockPath(), holder.processId(), QStringLiteral("sleep")));
    // Hours old: a long pass keeps its lock all the same.
    QVERIFY(setAge(lock.lockPath(), 5));
    QVERIFY(!lock.tryLock());
    QCOMPARE(lock.errorText(), DataFolderLock::inUseText(dir.path()));
    holder.kill();
    holder.waitForFinished();
  }

  void deadProcessLockIsTakenOver() {
    QTemporaryDir dir;
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    DataFolderLock lock(dir.path());
    QVERIFY(writeLockFile(lock.lockPath(), pid, QStringLiteral("quillet")));
    QVERIFY2(lock.tryLock(), qPrintable(lock.errorText()));
    QVERIFY(lock.isLocked());
    // The lock file is ours now.
    QFile f(lock.lockPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readLine().trimmed(), QByteArray::number(QCoreApplication::applicationPid()));
  }

  void unwritableFolderIsNotReportedAsInUse() {
    QTemporaryDir dir;
    QFile blocker(QDir(dir.path()).filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString data = QDir(blocker.fileName()).filePath(QStringLiteral("data"));
    DataFolderLock lock(data);
    QVERIFY(!lock.tryLock());
    QVERIFY(!lock.errorText().isEmpty());
    QVERIFY(lock.errorText() != DataFolderLock::inUseText(data));
    QVERIFY(!lock.heldByAnother());
  }
};

QTEST_GUILESS_MAIN(DataFolderLockTest)
#include "data_folder_lock_test.moc"
