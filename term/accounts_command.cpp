#include "term/accounts_command.h"

#include <unistd.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>

#include "config/account_name.h"
#include "config/account_settings.h"
#include "config/timer_time.h"
#include "journal/data_folder_lock.h"
#include "term/accounts_list.h"
#include "term/exit_status.h"
#include "term/say.h"
#include "term/terminal_input.h"

namespace quillet::term {
namespace {

constexpr char kSynopsis[] =
    "Usage: quillet accounts [list]\n"
    "       quillet accounts add NAME [--site URL] [--proxy URL] [settings]\n"
    "       quillet accounts set NAME [--site URL] [--proxy URL] [settings]\n"
    "       quillet accounts remove NAME [--yes]\n";

int refuse(const QString& action, const QString& reason) {
  const QString command =
      action.isEmpty() ? QStringLiteral("accounts") : QStringLiteral("accounts ") + action;
  say(QStringLiteral("quillet %1: %2\n%3Run 'quillet accounts --help' for the options.")
          .arg(command, reason, QString::fromUtf8(kSynopsis)));
  return kExitUsage;
}

// add and set: the settings options, applied to `settings` in the order of
// the keys. Empty when all were taken; else the refusal.
struct SettingOptions {
  QCommandLineOption site{QStringLiteral("site"),
                          QStringLiteral("The share site's base address (\"\" clears it)."),
                          QStringLiteral("URL")};
  QCommandLineOption proxy{
      QStringLiteral("proxy"),
      QStringLiteral("Proxy for every page and download of the account: http://, https:// or "
                     "socks5://[USER:PASSWORD@]HOST[:PORT] (\"\" clears it)."),
      QStringLiteral("URL")};
  QCommandLineOption list{QStringLiteral("list"),
                          QStringLiteral("The address file 'quillet run --account NAME' shares."),
                          QStringLiteral("FILE")};
  QCommandLineOption period{QStringLiteral("period"),
                            QStringLiteral("Seconds per address for runs (21 or more)."),
                            QStringLiteral("S")};
  QCommandLineOption jitter{QStringLiteral("jitter"),
                            QStringLiteral("A random 0 to S seconds more per address."),
                            QStringLiteral("S")};
  QCommandLineOption loop{QStringLiteral("loop"), QStringLiteral("Runs start over at the end.")};
  QCommandLineOption noLoop{QStringLiteral("no-loop"), QStringLiteral("Runs end at the end.")};
  QCommandLineOption comment{QStringLiteral("comment"),
                             QStringLiteral("Runs add a random comment to each share.")};
  QCommandLineOption noComment{QStringLiteral("no-comment"),
                               QStringLiteral("Runs share without comments.")};
  QCommandLineOption time{QStringLiteral("time"),
                          QStringLiteral("Time of day (HH:MM) at which the account's systemd timer "
                                         "quillet-run@NAME.timer starts a run (\"\" clears it)."),
                          QStringLiteral("HH:MM")};

  QList<QCommandLineOption> all() const {
    return {site, proxy, list, period, jitter, loop, noLoop, comment, noComment, time};
  }

  // Which were given, applied; a refusal names the first bad value.
  QString apply(const QCommandLineParser& parser, AccountSettings& settings, bool& any) const {
    const auto take = [&](const QCommandLineOption& option, const QString& key,
                          const QString& value) -> QString {
      if (!parser.isSet(option)) return {};
      any = true;
      return settings.set(key, value);
    };
    if (parser.isSet(loop) && parser.isSet(noLoop))
      return QStringLiteral("--loop and --no-loop cannot both be given");
    if (parser.isSet(comment) && parser.isSet(noComment))
      return QStringLiteral("--comment and --no-comment cannot both be given");
    QString listPath = parser.value(list);
    if (parser.isSet(list) && !listPath.isEmpty()) {
      listPath = QFileInfo(listPath).absoluteFilePath();
      QFile file(listPath);
      if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the list file %1: %2").arg(listPath, file.errorString());
    }
    const QString refusals[] = {
        take(site, QStringLiteral("site"), parser.value(site)),
        take(proxy, QStringLiteral("proxy"), parser.value(proxy)),
        take(list, QStringLiteral("list"), listPath),
        take(period, QStringLiteral("period"), parser.value(period)),
        take(jitter, QStringLiteral("jitter"), parser.value(jitter)),
        take(loop, QStringLiteral("loop"), QStringLiteral("true")),
        take(noLoop, QStringLiteral("loop"), QStringLiteral("false")),
        take(comment, QStringLiteral("comment"), QStringLiteral("true")),
        take(noComment, QStringLiteral("comment"), QStringLiteral("false")),
        take(time, QStringLiteral("time"), parser.value(time)),
    };
    for (const QString& refusal : refusals) {
      if (!refusal.isEmpty()) return refusal;
    }
    return {};
  }
};

int changeAccount(const QString& action, const QStringList& arguments) {
  const bool adding = action == QLatin1String("add");
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const SettingOptions options;
  parser.addOptions(options.all());
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  parser.addOption(help);
  if (!parser.parse(QStringList{QStringLiteral("quillet")} + arguments))
    return refuse(action, parser.errorText());
  if (parser.isSet(help)) {
    QString text = parser.helpText();
    text = text.mid(text.indexOf(u'\n') + 1);
    std::fputs(
        qPrintable(QStringLiteral("Usage: quillet accounts %1 NAME [options]\n").arg(action) +
                   text),
        stdout);
    return kExitOk;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) return refuse(action, QStringLiteral("missing account name"));
  if (positional.size() > 1)
    return refuse(action, QStringLiteral("unexpected argument: %1").arg(positional.at(1)));
  const QString name = positional.front();
  if (const QString problem = accountNameProblem(name); !problem.isEmpty())
    return refuse(action, problem);

  const QString path = accountSettingsPath(name);
  AccountSettings settings;
  if (adding) {
    if (QFileInfo::exists(path)) {
      return refuse(action, QStringLiteral("an account named '%1' exists already (change it "
                                           "with 'quillet accounts set %1')")
                                .arg(name));
    }
  } else {
    if (!QFileInfo::exists(path)) {
      return refuse(action, QStringLiteral("no account named '%1' (add it with 'quillet "
                                           "accounts add %1')")
                                .arg(name));
    }
    QString problem;
    const std::optional<AccountSettings> kept = readAccountSettings(path, &problem);
    // Rewritten from what could be read, a file with a bad line would lose
    // its other lines: it is mended by hand.
    if (!kept) {
      return refuse(action, problem + QStringLiteral(" (correct the file, or remove the account "
                                                     "and add it again)"));
    }
    settings = *kept;
  }
  bool any = false;
  if (const QString problem = options.apply(parser, settings, any); !problem.isEmpty())
    return refuse(action, problem);
  if (!adding && !any) return refuse(action, QStringLiteral("nothing to set"));

  QString problem;
  if (!writeAccountSettings(path, name, settings, &problem)) {
    say(QStringLiteral("无法保存账号设置：%1").arg(problem));
    return kExitUsage;
  }
  if (parser.isSet(options.time)) {
    if (!keepTimerTime(name, settings.time, &problem)) {
      say(QStringLiteral("无法写入定时设置：%1").arg(problem));
      return kExitUsage;
    }
    say(QStringLiteral("定时：%1（systemctl --user daemon-reload 后生效）")
            .arg(settings.time.isEmpty() ? QStringLiteral("默认") : settings.time));
  }
  say((adding ? QStringLiteral("已添加账号 %1：%2") : QStringLiteral("已修改账号 %1：%2"))
          .arg(name, QDir::toNativeSeparators(path)));
  return kExitOk;
}

int removeAccount(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Remove without asking."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  parser.addOptions({yes, help});
  const QString action = QStringLiteral("remove");
  if (!parser.parse(QStringList{QStringLiteral("quillet")} + arguments))
    return refuse(action, parser.errorText());
  if (parser.isSet(help)) {
    std::fputs(
        "Usage: quillet accounts remove NAME [--yes]\n\nDeletes the account's settings, "
        "remembered user, browser session and journal.\nAsks first on a terminal; "
        "--yes removes without asking (for scripts).\n",
        stdout);
    return kExitOk;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1)
    return refuse(action, positional.isEmpty()
                              ? QStringLiteral("missing account name")
                              : QStringLiteral("unexpected argument: %1").arg(positional.at(1)));
  const QString name = positional.front();
  if (const QString problem = accountNameProblem(name); !problem.isEmpty())
    return refuse(action, problem);
  const QString configDir = accountConfigDir(name);
  const QString stateDir = accountStateDir(name);
  if (!QFileInfo::exists(accountSettingsPath(name)) && !QFileInfo::exists(stateDir))
    return refuse(action, QStringLiteral("no account named '%1'").arg(name));

  if (!parser.isSet(yes)) {
    if (::isatty(STDIN_FILENO) == 0) {
      return refuse(action, QStringLiteral("removing asks first, and standard input is no "
                                           "terminal: add --yes to remove without asking"));
    }
    const std::optional<QString> answer =
        promptLine(QStringLiteral("删除账号 %1 的设置、会话和分享记录？[y/N] ").arg(name));
    const QString a = answer ? answer->trimmed().toLower() : QString();
    if (a != QLatin1String("y") && a != QLatin1String("yes")) {
      say(QStringLiteral("没有删除"));
      return kExitOk;
    }
  }
  // Never from under a Quillet that uses it: the lock is held while the
  // folders go.
  std::optional<DataFolderLock> lock;
  if (QFileInfo::exists(stateDir)) {
    lock.emplace(stateDir);
    if (!lock->tryLock()) {
      say(lock->errorText());
      return kExitFolderInUse;
    }
  }
  QString problem;
  keepTimerTime(name, QString(), &problem);
  bool removed = QDir(configDir).removeRecursively();
  if (lock) removed = QDir(stateDir).removeRecursively() && removed;
  if (!removed) {
    say(QStringLiteral("没能删除账号 %1 的全部文件").arg(name));
    return kExitRowsFailed;
  }
  say(QStringLiteral("已删除账号 %1").arg(name));
  return kExitOk;
}

}  // namespace

int AccountsCommand::execute(const QStringList& arguments) {
  const QString action = arguments.isEmpty() ? QString() : arguments.front();
  const QStringList rest = arguments.mid(1);
  if (action.isEmpty() || action == QLatin1String("list")) {
    if (!rest.isEmpty())
      return refuse(action, QStringLiteral("unexpected argument: %1").arg(rest.front()));
    return listAccounts();
  }
  if (action == QLatin1String("-h") || action == QLatin1String("--help")) {
    std::fputs(kSynopsis, stdout);
    std::fputs(
        "\nNamed accounts, each with its own settings, session, journal and proxy:\n"
        "  list (or nothing)  every account: user, site, proxy, signed in or not (as the kept\n"
        "                     session was last seen), list size, last pass, in use now\n"
        "  add NAME           a new account; set NAME changes one; remove NAME deletes one\n"
        "Settings: --site URL, --proxy URL, --list FILE, --period S, --jitter S, --loop,\n"
        "--no-loop, --comment, --no-comment, --time HH:MM ('quillet accounts add --help').\n"
        "Use an account with --account NAME on the window and on every command.\n",
        stdout);
    return kExitOk;
  }
  if (action == QLatin1String("add") || action == QLatin1String("set"))
    return changeAccount(action, rest);
  if (action == QLatin1String("remove")) return removeAccount(rest);
  return refuse(QString(),
                QStringLiteral("unknown action '%1' (list, add, set or remove)").arg(action));
}

}  // namespace quillet::term
