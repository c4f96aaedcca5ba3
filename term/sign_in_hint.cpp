#include "term/sign_in_hint.h"

#include <QDir>
#include <QRegularExpression>

#include "signin/remembered_account.h"
#include "term/command_line.h"

namespace quillet::term {
namespace {

// A word the shell takes as it is, else in single quotes.
QString shellWord(const QString& word) {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
  if (plain.match(word).hasMatch()) return word;
  QString quoted = word;
  quoted.replace(u'\'', QLatin1String("'\\''"));
  return u'\'' + quoted + u'\'';
}

}  // namespace

QString signInHint(const CommandLine& line) {
  QString command = QStringLiteral("quillet login");
  const QString user = RememberedAccount(line.config().dataDir).userName().trimmed();
  if (!user.isEmpty()) command += QStringLiteral(" --user ") + shellWord(user);
  for (const QString& option : line.commonOptionsGiven()) command += u' ' + shellWord(option);
  return QStringLiteral("未登录：请先运行 %1（数据文件夹：%2）")
      .arg(command, QDir::toNativeSeparators(QDir(line.config().stateDir).absolutePath()));
}

}  // namespace quillet::term
