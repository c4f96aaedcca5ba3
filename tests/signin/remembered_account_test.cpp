#include "signin/remembered_account.h"

#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using quillet::RememberedAccount;

namespace {

QByteArray readBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

// The permission bits as the system reports them.
int modeOf(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
  return int(info.st_mode & 07777);
}

// "张三" and "密码" in GBK.
const QByteArray kUserGbk("\xd5\xc5\xc8\xfd");
const QByteArray kPasswordGbk("\xc3\xdc\xc2\xeb");

}  // namespace

class RememberedAccountTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { ::umask(022); }

  void absentFilesAreCreatedEmptyWithAPrivatePasswordFile() {
    QTemporaryDir dir;
    RememberedAccount account(dir.path());
    account.ensureFiles();
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("user.txt"))), QByteArray());
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("password.txt"))), QByteArray());
    QCOMPARE(modeOf(dir.filePath(QStringLiteral("password.txt"))), 0600);
    // The user name is half the account: owner-only too, whatever the umask.
    QCOMPARE(modeOf(dir.filePath(QStringLiteral("user.txt"))), 0600);
    QCOMPARE(account.userName(), QString());
    QCOMPARE(account.password(), QString());
  }

  // Existing files keep their bytes and mode; their whole text, line breaks
  // included, is what the fields get.
  void existingFilesAreLeftAloneAndReadWhole() {
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("user.txt"));
    const QString password = dir.filePath(QStringLiteral("password.txt"));
    writeBytes(user, kUserGbk + "\r\n");
    writeBytes(password, " " + kPasswordGbk + "\n");
    QVERIFY(QFile::setPermissions(
        password, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    RememberedAccount account(dir.path());
    account.ensureFiles();
    QCOMPARE(readBytes(user), kUserGbk + "\r\n");
    QCOMPARE(readBytes(password), " " + kPasswordGbk + "\n");
    QCOMPARE(modeOf(password), 0640);
    QCOMPARE(account.userName(), QStringLiteral("张三\r\n"));
    QCOMPARE(account.password(), QStringLiteral(" 密码\n"));
    // Reading a password that others could read makes it owner-only.
    QCOMPARE(modeOf(password), 0600);
  }

  void onlyTheMissingFileIsCreated() {
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("user.txt")), "kept");
    RememberedAccount account(dir.path());
    account.ensureFiles();
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("user.txt"))), QByteArray("kept"));
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("password.txt"))), QByteArray());
    QCOMPARE(modeOf(dir.filePath(QStringLiteral("password.txt"))), 0600);
  }

  void storeWritesExactGbkBytesAndKeepsThePasswordPrivate() {
    QTemporaryDir dir;
    RememberedAccount account(dir.path());
    account.ensureFiles();
    account.store(QStringLiteral("张三"), QStringLiteral("密码"));
    QCOMPARE(readBytes(account.userFilePath()), kUserGbk);
    QCOMPARE(readBytes(account.passwordFilePath()), kPasswordGbk);
    QCOMPARE(modeOf(account.passwordFilePath()), 0600);
    QCOMPARE(account.userName(), QStringLiteral("张三"));
    QCOMPARE(account.password(), QStringLiteral("密码"));

    // A shorter second value replaces the first completely.
    account.store(QStringLiteral("a"), QStringLiteral("b c "));
    QCOMPARE(readBytes(account.userFilePath()), QByteArray("a"));
    QCOMPARE(readBytes(account.passwordFilePath()), QByteArray("b c "));
    QCOMPARE(modeOf(account.passwordFilePath()), 0600);
  }

  // Stored without ensureFiles first, and over a password file that others
  // could read: the password never ends up readable by them.
  void storeMakesThePasswordFilePrivateWhateverItWas() {
    QTemporaryDir dir;
    RememberedAccount fresh(dir.path());
    fresh.store(QStringLiteral("u"), QStringLiteral("p"));
    QCOMPARE(modeOf(fresh.passwordFilePath()), 0600);
    QCOMPARE(readBytes(fresh.passwordFilePath()), QByteArray("p"));

    QTemporaryDir other;
    const QString password = other.filePath(QStringLiteral("password.txt"));
    writeBytes(password, "old");
    QVERIFY(QFile::setPermissions(
        password, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    RememberedAccount account(other.path());
    account.store(QStringLiteral("u"), QStringLiteral("new"));
    QCOMPARE(modeOf(password), 0600);
    QCOMPARE(readBytes(password), QByteArray("new"));
  }

  void clearTruncatesBoth() {
    QTemporaryDir dir;
    RememberedAccount account(dir.path());
    account.store(QStringLiteral("张三"), QStringLiteral("密码"));
    account.clear();
    QCOMPARE(QFileInfo(account.userFilePath()).size(), 0);
    QCOMPARE(QFileInfo(account.passwordFilePath()).size(), 0);
    QCOMPARE(modeOf(account.passwordFilePath()), 0600);
    QCOMPARE(account.userName(), QString());
  }

  void aMissingDirectoryIsSilent() {
    QTemporaryDir dir;
    RememberedAccount account(dir.filePath(QStringLiteral("no/such/dir")));
    account.ensureFiles();
    account.store(QStringLiteral("u"), QStringLiteral("p"));
    QCOMPARE(account.userName(), QString());
    QVERIFY(!QFileInfo::exists(account.passwordFilePath()));
  }
};

QTEST_GUILESS_MAIN(RememberedAccountTest)
#include "remembered_account_test.moc"
