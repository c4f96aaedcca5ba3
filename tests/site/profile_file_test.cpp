// The site profile file: what a user's TOML file may say, every way it is
// refused (with the line to look at), and the printed defaults read back.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "site/comment_pool.h"
#include "site/profile_file.h"

using namespace quillet;

namespace {

const QString kFile = QStringLiteral("site.toml");

ProfileLoad parse(const char* text) {
  return parseSiteProfile(QByteArray(text), kFile);
}

QByteArray poolOf(int count) {
  QByteArray text = "comments = [\n";
  for (int i = 0; i < count; ++i) text += "  \"评论" + QByteArray::number(i) + "\",\n";
  return text + "]\n";
}

bool writeFile(const QString& path, const QByteArray& text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

}  // namespace

class ProfileFileTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void refusedWithLineAndKey_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto at = [](int line, const char* what) {
      return kFile + u':' + QString::number(line) + QLatin1String(": ") + QString::fromUtf8(what);
    };
    QTest::newRow("unknown key") << QByteArray("addressBox = 2\n\nadressBox = 3\n")
                                 << QStringList{at(3, "unknown key 'adressBox'")};
    QTest::newRow("a table is no key") << QByteArray("successMark = \"成功\"\n[share]\nx = 1\n")
                                       << QStringList{at(2, "unknown key 'share'")};
    QTest::newRow("position as text")
        << QByteArray("# mine\naddressBox = \"2\"\n")
        << QStringList{at(2, "addressBox must be a whole number of at least 1")};
    QTest::newRow("position zero")
        << QByteArray("startPageLink = 2\nloginButton = 0\n")
        << QStringList{at(2, "loginButton must be a whole number of at least 1")};
    QTest::newRow("position negative")
        << QByteArray("\n\n\naddressSubmitButton = -1\n")
        << QStringList{at(4, "addressSubmitButton must be a whole number of at least 1")};
    QTest::newRow("position fractional")
        << QByteArray("captchaBox = 2.0\n")
        << QStringList{at(1, "captchaBox must be a whole number of at least 1")};
    QTest::newRow("position too large")
        << QByteArray("userNameBox = 99999999999\n")
        << QStringList{at(1, "userNameBox must be a whole number of at most 100000")};
    QTest::newRow("link mode out of range")
        << QByteArray("shareLinkMode = 5\nshareLinkMode2 = -1\n")
        << QStringList{at(1, "shareLinkMode must be a whole number from 0 to 4"),
                       at(2, "unknown key 'shareLinkMode2'")};
    QTest::newRow("link mode negative")
        << QByteArray("shareLinkMode = -1\n")
        << QStringList{at(1, "shareLinkMode must be a whole number from 0 to 4")};
    QTest::newRow("text as number")
        << QByteArray("\nshareLinkText = 3\n")
        << QStringList{at(2, "shareLinkText must be a text that is not empty")};
    QTest::newRow("empty text") << QByteArray("successMark = \"\"\n")
                                << QStringList{
                                       at(1, "successMark must be a text that is not empty")};
    QTest::newRow("path without slash")
        << QByteArray("logonPath = \"logon\"\n")
        << QStringList{at(1, "logonPath must be a text that starts with /")};
    QTest::newRow("empty pool") << QByteArray("\ncomments = []\n")
                                << QStringList{at(2, "comments must be a list of 1 to 1000 texts")};
    QTest::newRow("pool not a list")
        << QByteArray("comments = \"好\"\n")
        << QStringList{at(1, "comments must be a list of 1 to 1000 texts")};
    QTest::newRow("pool too large")
        << poolOf(1001) << QStringList{at(1, "comments must be a list of 1 to 1000 texts")};
    QTest::newRow("empty comment")
        << QByteArray("comments = [\n  \"好\",\n  \"  \",\n  4,\n]\n")
        << QStringList{at(3, "comments[2] must be a text that is not empty"),
                       at(4, "comments[3] must be a text that is not empty")};
    QTest::newRow("mute marks empty")
        << QByteArray("muteMarks = []\n")
        << QStringList{at(1, "muteMarks must be a list of 1 to 100 texts")};
    QTest::newRow("mute marks not a list")
        << QByteArray("muteMarks = \"频繁\"\n")
        << QStringList{at(1, "muteMarks must be a list of 1 to 100 texts")};
    QTest::newRow("mute mark empty or a number")
        << QByteArray("muteMarks = [\n  \"频繁\",\n  \"\",\n  7,\n]\n")
        << QStringList{at(3, "muteMarks[2] must be a text that is not empty"),
                       at(4, "muteMarks[3] must be a text that is not empty")};
    QTest::newRow("mute holds empty")
        << QByteArray("\nmuteHoldMinutes = []\n")
        << QStringList{at(2, "muteHoldMinutes must be a list of 1 to 100 numbers")};
    QTest::newRow("mute holds a number, not a list")
        << QByteArray("muteHoldMinutes = 10\n")
        << QStringList{at(1, "muteHoldMinutes must be a list of 1 to 100 numbers")};
    QTest::newRow("mute holds zero, negative, text, endless, too long")
        << QByteArray("muteHoldMinutes = [\n10,\n0,\n-5,\n\"20\",\ninf,\nnan,\n10081,\n]\n")
        << QStringList{
               at(3, "muteHoldMinutes[2] must be a number of minutes above 0 and at most 10080"),
               at(4, "muteHoldMinutes[3] must be a number of minutes above 0 and at most 10080"),
               at(5, "muteHoldMinutes[4] must be a number of minutes above 0 and at most 10080"),
               at(6, "muteHoldMinutes[5] must be a number of minutes above 0 and at most 10080"),
               at(7, "muteHoldMinutes[6] must be a number of minutes above 0 and at most 10080"),
               at(8, "muteHoldMinutes[7] must be a number of minutes above 0 and at most 10080")};
    QTest::newRow("mute holds too many")
        << QByteArray(QByteArray("muteHoldMinutes = [") + QByteArray("1, ").repeated(101) + "]\n")
        << QStringList{at(1, "muteHoldMinutes must be a list of 1 to 100 numbers")};
    QTest::newRow("outage limit zero")
        << QByteArray("outageGiveUpMinutes = 0\n")
        << QStringList{
               at(1, "outageGiveUpMinutes must be a number of minutes above 0 and at most 10080")};
    QTest::newRow("outage limit negative fraction")
        << QByteArray("\n\noutageGiveUpMinutes = -0.5\n")
        << QStringList{
               at(3, "outageGiveUpMinutes must be a number of minutes above 0 and at most 10080")};
    QTest::newRow("outage limit as text")
        << QByteArray("outageGiveUpMinutes = \"120\"\n")
        << QStringList{
               at(1, "outageGiveUpMinutes must be a number of minutes above 0 and at most 10080")};
    QTest::newRow("outage limit a list")
        << QByteArray("outageGiveUpMinutes = [120]\n")
        << QStringList{
               at(1, "outageGiveUpMinutes must be a number of minutes above 0 and at most 10080")};
    QTest::newRow("captcha marks not a list")
        << QByteArray("loginCaptchaErrorMarks = \"验证码错误\"\n")
        << QStringList{at(1, "loginCaptchaErrorMarks must be a list of at most 100 texts")};
    QTest::newRow("empty captcha mark")
        << QByteArray("loginCaptchaErrorMarks = [\n  \"验证码错误\",\n  \"\",\n  7,\n]\n")
        << QStringList{at(3, "loginCaptchaErrorMarks[2] must be a text that is not empty"),
                       at(4, "loginCaptchaErrorMarks[3] must be a text that is not empty")};
    QTest::newRow("every error, in line order")
        << QByteArray("successMark = \"\"\nfoo = 1\naddressBox = 0\n")
        << QStringList{at(1, "successMark must be a text that is not empty"),
                       at(2, "unknown key 'foo'"),
                       at(3, "addressBox must be a whole number of at least 1")};
  }

  void refusedWithLineAndKey() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    const ProfileLoad load = parseSiteProfile(text, kFile);
    QVERIFY(!load.ok());
    QCOMPARE(load.errors, errors);
  }

  void syntaxErrorsNameTheirLine_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::newRow("missing value") << QByteArray("addressBox = 2\nbutton =\n") << 2;
    QTest::newRow("unclosed string") << QByteArray("\n\nsuccessMark = \"成功\n") << 3;
    QTest::newRow("key twice") << QByteArray("addressBox = 2\naddressBox = 3\n") << 2;
    QTest::newRow("not UTF-8") << QByteArray("successMark = \"\xff\xfe\"\n") << 1;
    // The end of the file is where the last text stands.
    QTest::newRow("unclosed list") << QByteArray("comments = [\n\"a\",\n") << 2;
  }

  void syntaxErrorsNameTheirLine() {
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    const ProfileLoad load = parseSiteProfile(text, kFile);
    QVERIFY(!load.ok());
    QCOMPARE(load.errors.size(), 1);
    const QString prefix = kFile + u':' + QString::number(line) + QLatin1String(": syntax error: ");
    QVERIFY2(load.errors.front().startsWith(prefix), qPrintable(load.errors.front()));
    QVERIFY(load.errors.front().size() > prefix.size());  // says what is wrong
  }

  void keysLeftOutKeepTheBuiltInValues() {
    const ProfileLoad load = parse(
        "# a site that moved its share link\n"
        "shareLinkText = \"转发宝贝\"\n"
        "addressBox = 3\n"
        "shareLinkMode = 4\n");
    QVERIFY2(load.ok(), qPrintable(load.errorText()));
    SiteProfile expected;
    expected.shareLinkText = QStringLiteral("转发宝贝");
    expected.addressBox = 3;
    expected.shareLinkMode = 4;
    QCOMPARE(*load.profile, expected);
    QVERIFY(parse("").ok());
    QCOMPARE(*parse("").profile, SiteProfile{});
  }

  void printedDefaultsReadBackAsTheBuiltInProfile() {
    const QString text = defaultProfileToml();
    const ProfileLoad load = parseSiteProfile(text.toUtf8(), kFile);
    QVERIFY2(load.ok(), qPrintable(load.errorText()));
    QCOMPARE(*load.profile, SiteProfile{});
    QCOMPARE(load.profile->comments, commentPoolTexts());
    QCOMPARE(load.profile->comments.size(), 10);
    // The holds' built-in values, as the printed file gives them to a user.
    QCOMPARE(load.profile->muteMarks,
             (QStringList{QStringLiteral("频繁"), QStringLiteral("禁言")}));
    QCOMPARE(load.profile->muteHoldMinutes, (QList<double>{10, 20, 40, 60}));
    QCOMPARE(load.profile->outageGiveUpMinutes, 120.0);
    QVERIFY(text.contains(QStringLiteral("muteHoldMinutes = [10, 20, 40, 60]\n")));
    QVERIFY(text.contains(QStringLiteral("outageGiveUpMinutes = 120\n")));
    // A starting point for a user: every line that is not a key explains.
    for (const QString& line : text.split(u'\n')) {
      if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(QLatin1String("  \"")) ||
          line == QLatin1String("]")) {
        continue;
      }
      QVERIFY2(line.contains(QLatin1String(" = ")), qPrintable(line));
    }
  }

  // Every field written and read back, with texts that need escaping: a
  // field the writer or the reader forgot would keep its built-in value.
  void everyFieldSurvivesTheRoundTrip() {
    SiteProfile changed;
    changed.logonPath = QStringLiteral("/a/logon");
    changed.logoutPath = QStringLiteral("/a/out");
    changed.captchaPath = QStringLiteral("/code.png?\"x\"");
    changed.userNameBox = 11;
    changed.passwordBox = 12;
    changed.captchaBox = 13;
    changed.loginButton = 14;
    changed.loginWrongAccountMark = QStringLiteral("wrong \\ account");
    changed.loginCaptchaMark = QStringLiteral("tab\there");
    changed.loginCaptchaErrorMarks = {QStringLiteral("码错了"), QStringLiteral("a, \"b\"")};
    changed.startPageLink = 15;
    changed.shareLinkText = QStringLiteral("转发\n宝贝");
    changed.shareLinkMode = 0;
    changed.addressBox = 16;
    changed.addressSubmitButton = 17;
    changed.wrongLinkNotice = QStringLiteral("链接\u0001不对");
    changed.commentFieldName = QStringLiteral("c");
    changed.confirmElementName = QStringLiteral("d");
    changed.successMark = QStringLiteral("已转发 \U0001F600");
    changed.comments = {QStringLiteral("one \"quoted\""), QStringLiteral("two")};
    changed.muteMarks = {QStringLiteral("操作\"太快\""), QStringLiteral("请稍后\\再试")};
    changed.muteHoldMinutes = {0.5, 3, 0.1, 7.25};
    changed.outageGiveUpMinutes = 2.5;
    const ProfileLoad load = parseSiteProfile(profileToml(changed).toUtf8(), kFile);
    QVERIFY2(load.ok(), qPrintable(load.errorText()));
    QCOMPARE(*load.profile, changed);
  }

  // Whole and fractional minutes are both numbers; a single hold is a list of one.
  void holdKeysTakeWholeAndFractionalMinutes() {
    const ProfileLoad load = parse(
        "muteMarks = [\"太快\"]\n"
        "muteHoldMinutes = [1]\n"
        "outageGiveUpMinutes = 0.25\n");
    QVERIFY2(load.ok(), qPrintable(load.errorText()));
    QCOMPARE(load.profile->muteMarks, QStringList{QStringLiteral("太快")});
    QCOMPARE(load.profile->muteHoldMinutes, QList<double>{1});
    QCOMPARE(load.profile->outageGiveUpMinutes, 0.25);
    const ProfileLoad longest =
        parse("muteHoldMinutes = [10080, 2.5]\noutageGiveUpMinutes = 10080\n");
    QVERIFY2(longest.ok(), qPrintable(longest.errorText()));
    QCOMPARE(longest.profile->muteHoldMinutes, (QList<double>{10080, 2.5}));
  }

  // The captcha notices: both built in, a file's list replaces the further
  // ones (an empty list leaves loginCaptchaMark alone), and the printed
  // default names the key.
  void captchaMarks() {
    QCOMPARE(SiteProfile{}.captchaMarks(),
             (QStringList{QStringLiteral("验证码错误"), QStringLiteral("输入验证码")}));
    const ProfileLoad own = parse(
        "loginCaptchaErrorMarks = [\"校验码不对\", \"验证码过期\"]\nloginCaptchaMark = "
        "\"请填写\"\n");
    QVERIFY2(own.ok(), qPrintable(own.errorText()));
    QCOMPARE(own.profile->captchaMarks(),
             (QStringList{QStringLiteral("校验码不对"), QStringLiteral("验证码过期"),
                          QStringLiteral("请填写")}));
    const ProfileLoad none = parse("loginCaptchaErrorMarks = []\n");
    QVERIFY2(none.ok(), qPrintable(none.errorText()));
    QCOMPARE(none.profile->captchaMarks(), QStringList{QStringLiteral("输入验证码")});
    QVERIFY(defaultProfileToml().contains(
        QStringLiteral("\nloginCaptchaErrorMarks = [\"验证码错误\"]\n")));
  }

  void poolsOfOneAndOfAThousand() {
    const ProfileLoad one = parseSiteProfile(poolOf(1), kFile);
    QVERIFY2(one.ok(), qPrintable(one.errorText()));
    QCOMPARE(one.profile->comments, QStringList{QStringLiteral("评论0")});
    const ProfileLoad thousand = parseSiteProfile(poolOf(1000), kFile);
    QVERIFY2(thousand.ok(), qPrintable(thousand.errorText()));
    QCOMPARE(thousand.profile->comments.size(), 1000);
    QCOMPARE(thousand.profile->comments.back(), QStringLiteral("评论999"));
  }

  void fileFromOptionElseDataFolderElseBuiltIn() {
    QTemporaryDir data;
    QVERIFY(data.isValid());
    const QString inData = QDir(data.path()).filePath(QStringLiteral("site.toml"));

    ProfileLoad load = loadSiteProfile(QString(), data.path());
    QVERIFY(load.ok());
    QCOMPARE(*load.profile, SiteProfile{});

    QVERIFY(writeFile(inData, "addressBox = 5\n"));
    load = loadSiteProfile(QString(), data.path());
    QVERIFY(load.ok());
    QCOMPARE(load.profile->addressBox, 5);

    const QString given = QDir(data.path()).filePath(QStringLiteral("other.toml"));
    QVERIFY(writeFile(given, "addressBox = 7\n"));
    load = loadSiteProfile(given, data.path());
    QVERIFY(load.ok());
    QCOMPARE(load.profile->addressBox, 7);

    // A bad file in the data folder is refused, never quietly skipped.
    QVERIFY(writeFile(inData, "addressBox = 0\n"));
    load = loadSiteProfile(QString(), data.path());
    QVERIFY(!load.ok());
    QCOMPARE(load.errorText(),
             inData + QStringLiteral(":1: addressBox must be a whole number of at least 1"));

    const QString missing = QDir(data.path()).filePath(QStringLiteral("missing.toml"));
    load = loadSiteProfile(missing, data.path());
    QVERIFY(!load.ok());
    QVERIFY2(load.errorText().startsWith(missing + QStringLiteral(": cannot be read")),
             qPrintable(load.errorText()));
    load = loadSiteProfile(data.path(), QString());  // a folder is no profile
    QVERIFY(!load.ok());

    const QString huge = QDir(data.path()).filePath(QStringLiteral("huge.toml"));
    QVERIFY(writeFile(huge, QByteArray(2 * 1024 * 1024, '#')));
    load = loadSiteProfile(huge, QString());
    QVERIFY(!load.ok());
    QVERIFY(load.errorText().startsWith(huge + u':'));
  }
};

QTEST_GUILESS_MAIN(ProfileFileTest)
#include "profile_file_test.moc"
