#include "term/check_command.h"

#include <QDir>
#include <QTextStream>
#include <cstdio>

#include "browser/browser_control.h"
#include "share/site_check.h"
#include "site/profile_file.h"
#include "term/command_line.h"
#include "term/exit_status.h"
#include "term/headless_browser.h"

namespace quillet::term {

int CheckCommand::execute(const QStringList& arguments) {
  CommandLine line(QStringLiteral("check"), QStringLiteral("[options]"),
                   QStringLiteral("Tries the site profile on the site in the kept session of "
                                  "'quillet login': the start page, the share dialog and an "
                                  "address that can never be an item, which the site must call "
                                  "wrong. Nothing is shared. One line per step on standard "
                                  "output.\nExit status: 0 every step as expected, 1 a step "
                                  "found something else, 2 usage or a refused profile, 3 not "
                                  "signed in."));
  const CommandLine::Verdict verdict = line.parse(arguments, programDir_, 0);
  if (!verdict.proceed) return verdict.exitStatus;
  if (!QDir().mkpath(line.config().stateDir)) {
    std::fprintf(stderr, "无法创建数据文件夹：%s\n", line.config().stateDir.toUtf8().constData());
    return kExitUsage;
  }
  HeadlessBrowser session(line.config().stateDir);
  QTextStream out(stdout);
  const int result = runSiteCheck(*session.browser(), line.profile(), out);
  out.flush();
  return result;
}

int ProfileCommand::execute(const QStringList& arguments) {
  CommandLine line(QStringLiteral("profile"), QStringLiteral("--print-default"),
                   QStringLiteral("Prints the built-in site profile as a commented TOML file: "
                                  "save it as site.toml in the data folder (or pass it with "
                                  "--profile) and change what the site changed."));
  const QCommandLineOption printDefault(QStringLiteral("print-default"),
                                        QStringLiteral("Print the built-in profile."));
  line.parser().addOption(printDefault);
  const CommandLine::Verdict verdict = line.parse(arguments, programDir_, 0);
  if (!verdict.proceed) return verdict.exitStatus;
  if (!line.parser().isSet(printDefault)) {
    return line.refuse(QStringLiteral("nothing to do: use --print-default")).exitStatus;
  }
  const QByteArray text = defaultProfileToml().toUtf8();
  std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
  return kExitOk;
}

}  // namespace quillet::term
