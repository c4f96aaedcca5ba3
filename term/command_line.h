#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "config/app_config.h"

namespace quillet::term {

/// A subcommand's command line: its own options plus the ones every
/// subcommand has (--site, --account, --data-dir, --profile, --help), its help text with a usage
/// line that names the program, and the refusals on standard error.
class CommandLine {
 public:
  /// `synopsis` follows "quillet NAME" on the usage line, e.g. "FILE [options]".
  CommandLine(QString name, QString synopsis, const QString& description);

  QCommandLineParser& parser() { return parser_; }
  const QCommandLineParser& parser() const { return parser_; }

  /// The outcome of parse(): go on, or end the process with `exitStatus`.
  struct Verdict {
    bool proceed = false;
    int exitStatus = 0;
  };
  /// Parses the arguments after the subcommand's name and settles the site
  /// address, the data folder and the site profile (a refused profile file:
  /// its messages on standard error, exit 2). --help prints the help on standard output
  /// (exit 0); a refused command line prints the reason and the usage line on
  /// standard error (exit 2). `positional` is how many positional arguments
  /// the subcommand takes.
  /// With --account, `quillet run` takes what the command line leaves out
  /// from the account's settings: the list file, --period, --jitter, --loop
  /// and --comment. The account's proxy carries every transfer and page.
  Verdict parse(const QStringList& arguments, const QString& programDir, int positional);

  /// Refuses the command line with `reason` (standard error, exit 2).
  Verdict refuse(const QString& reason) const;

  QString helpText() const;
  QString usageLine() const;

  /// The site and data folder settled by parse().
  const AppConfig& config() const { return config_; }
  /// The site profile in force (--profile, else site.toml in the data
  /// folder, else the built-in one), with the site's address of --site.
  const SiteProfile& profile() const { return config_.profile; }
  /// --site, --account, --data-dir and --profile with their values, as given.
  const QStringList& commonOptionsGiven() const { return commonGiven_; }

 private:
  /// The arguments with what the account's settings add for `quillet run`.
  QStringList withAccountDefaults(const QStringList& arguments, const AccountSettings& account,
                                  int positional);

  QString name_;
  QString synopsis_;
  QCommandLineParser parser_;
  QCommandLineOption site_;
  QCommandLineOption account_;
  QCommandLineOption dataDir_;
  QCommandLineOption profile_;
  QCommandLineOption help_;
  AppConfig config_;
  QStringList commonGiven_;
};

}  // namespace quillet::term
