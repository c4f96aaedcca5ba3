#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "term/command_line.h"
#include "term/subcommand.h"

namespace quillet::term {

class HeadlessBrowser;
class StopSignals;

/// A command that works in the data folder's browser session (login, run,
/// check). Its start-up is done here once, in this order:
///   1. the command line (the command's options() beside the common ones);
///   2. checkArguments(): what the command is asked for, before the data
///      folder is touched, so that a refusal changes nothing;
///   3. the data folder (folders()) is created;
///   4. prepareFolder(): anything asked or read before the lock is taken;
///   5. the data folder's lock: one Quillet per folder;
///   6. beforeBrowser(): with the lock held, before the browser starts;
///   7. the hidden browser on the folder's session, and the stop signals,
///      which end the process at once until the command says otherwise;
///   8. reachSite(): by default the sign-in check of the kept session;
///   9. work(): the command's own work.
/// A step returns std::nullopt to go on, else the exit status to end with.
class SessionCommand : public Subcommand {
 public:
  int execute(const QStringList& arguments) final;

 protected:
  /// `synopsis` follows "quillet NAME" on the usage line; `positional` is how
  /// many positional arguments the command takes.
  SessionCommand(QString programDir, const QString& name, const QString& synopsis,
                 const QString& description, int positional);

  /// What goes on to the next step.
  using Step = std::optional<int>;

  /// The command's own options.
  virtual QList<QCommandLineOption> options() const { return {}; }
  virtual Step checkArguments() { return std::nullopt; }
  /// The folders to create before anything is kept in them.
  virtual QStringList folders() const;
  virtual Step prepareFolder() { return std::nullopt; }
  virtual Step beforeBrowser() { return std::nullopt; }
  /// The site as the command needs it: by default signed in, as the kept
  /// session was left (not signed in: the hint to sign in, exit 3; the site
  /// unreachable: exit 4).
  virtual Step reachSite(HeadlessBrowser& session);
  virtual int work(HeadlessBrowser& session, StopSignals& stops) = 0;

  /// The command line, parsed in step 1.
  CommandLine& line() { return line_; }
  const CommandLine& line() const { return line_; }
  /// Refuses the command line with `reason`: its exit status.
  int refuse(const QString& reason) const { return line_.refuse(reason).exitStatus; }

 private:
  QString programDir_;
  CommandLine line_;
  int positional_;
};

}  // namespace quillet::term
