// The commands of `quillet` as a user finds them: `quillet --help` lists
// each, each answers `--help` with its own usage line, and the bash
// completion and the manual page, written by hand, know every command and
// every option the program itself shows. A command added to the program but
// not to the completion (or an option renamed in one place only) fails here.
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include "tests/term/quillet_process.h"

using quillet::testing::describe;
using quillet::testing::ProcessResult;
using quillet::testing::runQuillet;

namespace {

QString readSource(const char* relativePath) {
  QFile file(QStringLiteral(QUILLET_SOURCE_DIR "/") + QLatin1String(relativePath));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The names in the "Commands" section of `quillet --help`, in order.
QStringList listedCommands(const QString& help) {
  const qsizetype start = help.indexOf(QLatin1String("\nCommands"));
  if (start < 0) return {};
  QStringList names;
  static const QRegularExpression line(QStringLiteral("^  ([a-z]+)  "),
                                       QRegularExpression::MultilineOption);
  auto it = line.globalMatch(help.mid(start));
  while (it.hasNext()) names << it.next().captured(1);
  return names;
}

// The long options a command's help shows (its own and the common ones).
QStringList shownOptions(const QString& help) {
  QStringList options;
  static const QRegularExpression line(QStringLiteral("^  (?:-[A-Za-z], )?(--[a-z][a-z-]*)"),
                                       QRegularExpression::MultilineOption);
  auto it = line.globalMatch(help);
  while (it.hasNext()) options << it.next().captured(1);
  return options;
}

// A quoted word list of the completion script: `local NAME="..."` or
// `[NAME]="..."`, with $common and $settings put in.
QStringList completionWords(const QString& script, const QString& assignment) {
  const QRegularExpression pattern(QRegularExpression::escape(assignment) +
                                   QStringLiteral("=\"([^\"]*)\""));
  const QRegularExpressionMatch match = pattern.match(script);
  if (!match.hasMatch()) return {};
  QString words = match.captured(1);
  for (const char* variable : {"common", "settings"}) {
    const QString reference = QStringLiteral("$") + QLatin1String(variable);
    if (words.contains(reference)) {
      words.replace(
          reference,
          completionWords(script, QStringLiteral("local ") + QLatin1String(variable)).join(u' '));
    }
  }
  return words.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

}  // namespace

class CommandListTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void everyCommandIsListedCompletedAndDocumented() {
    const ProcessResult help = runQuillet({QStringLiteral("--help")});
    QVERIFY2(help.exitCode == 0 && !help.crashed, qPrintable(describe(help)));
    const QStringList commands = listedCommands(help.out);
    QVERIFY2(commands.size() >= 5, qPrintable(help.out));

    const QString completion = readSource("packaging/completions/quillet");
    QVERIFY(!completion.isEmpty());
    QCOMPARE(completionWords(completion, QStringLiteral("local commands")), commands);

    const QString manual = readSource("packaging/man/quillet.1.scd");
    QVERIFY(!manual.isEmpty());
    for (const QString& command : commands) {
      QVERIFY2(manual.contains(QStringLiteral("\n## ") + command + u'\n'), qPrintable(command));
      QVERIFY2(manual.contains(QStringLiteral("*quillet ") + command), qPrintable(command));
    }
  }

  void everyOptionOfACommandCompletes() {
    const QString completion = readSource("packaging/completions/quillet");
    const ProcessResult help = runQuillet({QStringLiteral("--help")});
    // Each command, and the two actions of `accounts` that take options.
    QList<QStringList> commandLines;
    for (const QString& command : listedCommands(help.out)) commandLines << QStringList{command};
    commandLines << QStringList{QStringLiteral("accounts"), QStringLiteral("add")}
                 << QStringList{QStringLiteral("accounts"), QStringLiteral("set")};
    int checked = 0;
    for (const QStringList& command : commandLines) {
      const ProcessResult own = runQuillet(command + QStringList{QStringLiteral("--help")});
      QVERIFY2(own.exitCode == 0 && !own.crashed && own.err.isEmpty(), qPrintable(describe(own)));
      QVERIFY2(own.out.startsWith(QStringLiteral("Usage: quillet ") + command.join(u' ') + u' '),
               qPrintable(own.out));
      const QStringList completed =
          completionWords(completion, u'[' + command.constLast() + QStringLiteral("]"));
      QVERIFY2(completed.contains(QStringLiteral("--help")), qPrintable(command.join(u' ')));
      for (const QString& option : shownOptions(own.out)) {
        QVERIFY2(
            completed.contains(option),
            qPrintable(
                QStringLiteral("quillet %1 %2 does not complete").arg(command.join(u' '), option)));
        ++checked;
      }
    }
    // login, run, check and profile show the common options and their own;
    // accounts add and set their settings.
    QVERIFY2(checked >= 40, qPrintable(QString::number(checked)));
  }

  // A word that is no command is refused with the list `quillet --help`
  // ends with, and the usage status every command uses.
  void aMistypedCommandListsTheCommands() {
    const ProcessResult help = runQuillet({QStringLiteral("--help")});
    const qsizetype start = help.out.indexOf(QLatin1String("\nCommands"));
    QVERIFY2(start > 0, qPrintable(help.out));
    const ProcessResult wrong = runQuillet({QStringLiteral("logn")});
    QVERIFY2(wrong.exitCode == 2 && !wrong.crashed, qPrintable(describe(wrong)));
    QCOMPARE(wrong.out, QString());
    QCOMPARE(wrong.err, QStringLiteral("quillet: unknown command 'logn'\n") + help.out.mid(start));
  }
};

QTEST_GUILESS_MAIN(CommandListTest)
#include "command_list_test.moc"
