#include "term/check_command.h"

#include <QTextStream>
#include <cstdio>

#include "browser/browser_control.h"
#include "share/site_check.h"
#include "site/profile_file.h"
#include "term/exit_status.h"
#include "term/headless_browser.h"
#include "term/printable_text.h"
#include "term/say.h"

namespace quillet::term {

CheckCommand::CheckCommand(QString programDir)
    : SessionCommand(std::move(programDir), QString::fromLatin1(kName), QStringLiteral("[options]"),
                     QStringLiteral("Tries the site profile on the site in the kept session of "
                                    "'quillet login': the start page, the share dialog and an "
                                    "address that can never be an item, which the site must call "
                                    "wrong. Nothing is shared. One line per step on standard "
                                    "output.\nExit status: 0 every step as expected, 1 a step "
                                    "found something else, 2 usage or a refused profile, 3 not "
                                    "signed in, 4 site unreachable, 5 the data folder is in use "
                                    "by another Quillet or cannot be locked."),
                     0) {}

int CheckCommand::work(HeadlessBrowser& session, StopSignals&) {
  // Nothing to finish in order: a signal ends the check at once.
  // Page texts go to the terminal: without their control characters.
  PrintableStdout device;
  QTextStream out(&device);
  const int result = runSiteCheck(*session.browser(), line().profile(), out);
  out.flush();
  if (device.failed()) {
    say(QStringLiteral("无法写入标准输出：%1").arg(device.errorString()));
    return kExitRowsFailed;
  }
  return result;
}

ProfileCommand::ProfileCommand(QString programDir)
    : programDir_(std::move(programDir)),
      printDefault_(QStringLiteral("print-default"),
                    QStringLiteral("Print the built-in profile.")) {}

int ProfileCommand::execute(const QStringList& arguments) {
  CommandLine line(QString::fromLatin1(kName), QStringLiteral("--print-default"),
                   QStringLiteral("Prints the built-in site profile as a commented TOML file: "
                                  "save it as site.toml in the data folder (or pass it with "
                                  "--profile) and change what the site changed."));
  line.parser().addOption(printDefault_);
  const CommandLine::Verdict verdict = line.parse(arguments, programDir_, 0);
  if (!verdict.proceed) return verdict.exitStatus;
  if (!line.parser().isSet(printDefault_)) {
    return line.refuse(QStringLiteral("nothing to do: use --print-default")).exitStatus;
  }
  const QByteArray text = defaultProfileToml().toUtf8();
  std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
  return kExitOk;
}

}  // namespace quillet::term
