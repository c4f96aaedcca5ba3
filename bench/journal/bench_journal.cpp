// The journal's cost on a pass and at start-up:
//  - per recorded outcome: the commit of one row's status and time (with
//    synchronous=FULL, so each one waits for the disk), median and p95 over
//    N rows; also all the journal writes a pass makes for one row (address
//    entered + run state, confirm clicked, outcome);
//  - an import of R rows in one transaction;
//  - restore: opening the journal and reading back an R-row list;
//  - 1,000 scattered rows of the R deleted, and 1,000 statuses cleared,
//    one transaction each.
// Usage: bench_journal DIR [N outcomes] [R rows]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "journal/journal.h"

using namespace quillet;

namespace {

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

double msSince(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_journal DIR [outcomes] [rows]\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const int outcomes = argc > 2 ? std::atoi(argv[2]) : 500;
  const int rows = argc > 3 ? std::atoi(argv[3]) : 100000;

  QStringList addresses;
  for (int i = 0; i < std::max(outcomes, rows); ++i)
    addresses << QStringLiteral("http://item.example.cn/宝贝/%1.htm?id=%2&来源=分享")
                     .arg(i)
                     .arg(i * 7919);

  {
    QDir(dir).removeRecursively();
    Journal journal;
    if (!journal.open(dir)) {
      std::fprintf(stderr, "%s\n", qPrintable(journal.message()));
      return 1;
    }
    journal.insertRows(0, addresses.mid(0, outcomes));
    {
      // What the numbers below were measured with.
      QSqlQuery pragma(QSqlDatabase::database(journal.connectionName(), false));
      for (const char* name : {"journal_mode", "synchronous"}) {
        if (pragma.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))) && pragma.next())
          std::printf("%s %s\n", name, qPrintable(pragma.value(0).toString()));
      }
    }
    JournalPass pass;
    for (int row = 0; row < outcomes; ++row) pass.rows << journal.keyAt(row);
    journal.startPass(pass);
    std::vector<double> outcomeMs, rowMs;
    QElapsedTimer t;
    for (int row = 0; row < outcomes; ++row) {
      QElapsedTimer whole;
      whole.start();
      journal.setRowStep(row, RowStep::AddressEntered);
      journal.setRowStep(row, RowStep::ConfirmClicked);
      t.start();
      const bool ok =
          journal.setOutcome(row, QStringLiteral("成功"), QStringLiteral("2026-12-09 01:02:03"));
      outcomeMs.push_back(msSince(t));
      rowMs.push_back(msSince(whole));
      if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(journal.message()));
        return 1;
      }
    }
    std::printf("outcome_ms_median %.3f\noutcome_ms_p95 %.3f\n", percentile(outcomeMs, 0.5),
                percentile(outcomeMs, 0.95));
    std::printf("row_ms_median %.3f\nrow_ms_p95 %.3f\n", percentile(rowMs, 0.5),
                percentile(rowMs, 0.95));
  }

  {
    QDir(dir).removeRecursively();
    Journal journal;
    journal.open(dir);
    QElapsedTimer t;
    t.start();
    journal.insertRows(0, addresses.mid(0, rows));
    std::printf("import_rows %d\nimport_ms %.1f\n", rows, msSince(t));
    journal.setOutcome(rows / 2, QStringLiteral("成功"), QStringLiteral("2026-12-09 01:02:03"));
  }
  double best = 1e12;
  qsizetype restored = 0;
  for (int run = 0; run < 3; ++run) {
    QElapsedTimer t;
    t.start();
    Journal journal;
    journal.open(dir);
    const JournalSnapshot snapshot = journal.restore();
    best = std::min(best, msSince(t));
    restored = snapshot.rows.size();
  }
  std::printf("restore_rows %lld\nrestore_ms %.1f\n", static_cast<long long>(restored), best);

  // Batches on the whole list: 1,000 scattered rows deleted, then their
  // statuses cleared elsewhere, each one transaction.
  qsizetype left = 0;
  {
    Journal journal;
    journal.open(dir);
    QList<RowKey> scattered;
    const int step = std::max(1, rows / 1000);
    for (int row = 0; row < rows && scattered.size() < 1000; row += step)
      scattered << journal.keyAt(row);
    QElapsedTimer t;
    t.start();
    journal.removeKeys(scattered);
    std::printf("delete_scattered_rows %lld\ndelete_ms %.1f\n",
                static_cast<long long>(scattered.size()), msSince(t));
    QList<RowKey> others;
    for (int row = 1; row < journal.rowCount() && others.size() < 1000; row += step)
      others << journal.keyAt(row);
    t.start();
    journal.clearStatusOf(others);
    std::printf("clear_status_rows %lld\nclear_status_ms %.1f\n",
                static_cast<long long>(others.size()), msSince(t));
    left = journal.rowCount() + scattered.size();
  }
  return restored == rows && left == rows ? 0 : 1;
}
