#include "term/accounts_list.h"

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "config/account_settings.h"
#include "config/proxy_address.h"
#include "journal/data_folder_lock.h"
#include "journal/last_pass_summary.h"
#include "signin/remembered_account.h"
#include "signin/session_note.h"
#include "term/exit_status.h"
#include "term/printable_text.h"
#include "term/say.h"

namespace quillet::term {
namespace {

// The process that holds the data-folder lock in `stateDir`, read from the
// lock file without taking the lock (a run starting now must not find it
// taken by a list). 0 when no live process holds it.
qint64 lockHolder(const QString& stateDir) {
  QFile file(QDir(stateDir).filePath(DataFolderLock::fileName()));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  bool ok = false;
  const qint64 pid = QString::fromLatin1(file.readLine(32)).trimmed().toLongLong(&ok);
  if (!ok || pid <= 0) return 0;
  if (::kill(pid_t(pid), 0) == 0 || errno == EPERM) return pid;
  return 0;
}

// Addresses in a list file: its lines with more than blanks on them.
QString listSize(const QString& path) {
  if (path.isEmpty()) return QStringLiteral("-");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("无法读取");
  int count = 0;
  while (!file.atEnd()) {
    if (!file.readLine().trimmed().isEmpty()) ++count;
  }
  return QString::number(count);
}

// Columns line up on a terminal: a CJK character takes two cells.
int cellWidth(const QString& text) {
  int width = 0;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                      (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                      (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                      (u >= 0xFFE0 && u <= 0xFFE6);
    width += wide ? 2 : 1;
  }
  return width;
}

}  // namespace

int listAccounts() {
  const QStringList names = accountNames();
  if (names.isEmpty()) {
    say(QStringLiteral("还没有账号：用 quillet accounts add NAME 添加"));
    return kExitOk;
  }
  QList<QStringList> table{{QStringLiteral("账号"), QStringLiteral("用户"), QStringLiteral("站点"),
                            QStringLiteral("代理"), QStringLiteral("登录"), QStringLiteral("列表"),
                            QStringLiteral("上次分享"), QStringLiteral("使用中")}};
  for (const QString& name : names) {
    QString problem;
    const std::optional<AccountSettings> settings =
        readAccountSettings(accountSettingsPath(name), &problem);
    const QString stateDir = accountStateDir(name);
    const SessionNote note = readSessionNote(stateDir);
    QString user = RememberedAccount(accountConfigDir(name)).userName().trimmed();
    if (user.isEmpty()) user = note.user;
    QString proxy = QStringLiteral("-");
    if (settings && !settings->proxy.isEmpty()) {
      const std::optional<ProxyAddress> address = parseProxyAddress(settings->proxy, nullptr);
      proxy = address ? address->shownText() : settings->proxy;
    }
    // Signed in as the session was last seen, while the session it was seen
    // in is still kept: a browser folder without its cookies signs no one in.
    const bool kept = QFileInfo::exists(stateDir + QLatin1String("/browser/Cookies"));
    QString session =
        note.known && note.signedIn && kept ? QStringLiteral("已登录") : QStringLiteral("未登录");
    if (note.known) session += u' ' + note.at.toLocalTime().toString(QStringLiteral("MM-dd HH:mm"));
    QString last = QStringLiteral("-");
    if (const std::optional<LastPassSummary> pass = readLastPassSummary(stateDir)) {
      last = QStringLiteral("成功%1 失败%2 地址错误%3")
                 .arg(pass->succeeded)
                 .arg(pass->failed)
                 .arg(pass->wrongAddress);
      const QString when = pass->lastAt.isEmpty() ? pass->startedAt : pass->lastAt;
      last += u' ' + when.mid(5, 11);
      if (!pass->finished) last += QStringLiteral(" 未完成");
    }
    const qint64 holder = lockHolder(stateDir);
    const QString inUse =
        holder > 0 ? QStringLiteral("是 (pid %1)").arg(holder) : QStringLiteral("否");
    if (!settings) {
      table << QStringList{name,
                           user.isEmpty() ? QStringLiteral("-") : user,
                           QStringLiteral("设置文件有误"),
                           problem,
                           session,
                           QStringLiteral("-"),
                           last,
                           inUse};
      continue;
    }
    table << QStringList{name,
                         user.isEmpty() ? QStringLiteral("-") : user,
                         settings->site.isEmpty() ? QStringLiteral("(默认)") : settings->site,
                         proxy,
                         session,
                         listSize(settings->list),
                         last,
                         inUse};
  }
  QList<int> widths(table.front().size(), 0);
  for (const QStringList& row : table) {
    for (qsizetype i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], cellWidth(row[i]));
  }
  QString text;
  for (const QStringList& row : table) {
    QString line;
    for (qsizetype i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += QString(widths[i] - cellWidth(row[i]) + 2, u' ');
    }
    text += line + u'\n';
  }
  const QByteArray bytes = printableText(text).toUtf8();
  if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
      std::fflush(stdout) != 0) {
    say(QStringLiteral("无法写入标准输出"));
    return kExitRowsFailed;
  }
  return kExitOk;
}

}  // namespace quillet::term
