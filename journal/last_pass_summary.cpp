#include "journal/last_pass_summary.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "journal/journal.h"
#include "journal/journal_types.h"

namespace quillet {
namespace {

// Drops the connection (after every query on it is gone) when the reading ends.
class ReadOnlyConnection {
 public:
  explicit ReadOnlyConnection(const QString& path) {
    static QAtomicInt counter;
    name_ = QStringLiteral("quillet-summary-%1").arg(counter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    open_ = db.open();
  }
  ~ReadOnlyConnection() { QSqlDatabase::removeDatabase(name_); }
  ReadOnlyConnection(const ReadOnlyConnection&) = delete;
  ReadOnlyConnection& operator=(const ReadOnlyConnection&) = delete;

  bool isOpen() const { return open_; }
  QSqlDatabase database() const { return QSqlDatabase::database(name_, false); }

 private:
  QString name_;
  bool open_ = false;
};

QString shortTime(const QString& stamp) {
  return stamp.left(19);
}

}  // namespace

std::optional<LastPassSummary> readLastPassSummary(const QString& stateDir) {
  const QString path = QDir(stateDir).filePath(Journal::fileName());
  if (!QFileInfo(path).isFile()) return std::nullopt;
  std::optional<LastPassSummary> summary;
  {
    ReadOnlyConnection connection(path);
    if (!connection.isOpen()) return std::nullopt;
    QSqlDatabase db = connection.database();
    QSqlQuery pass(db);
    if (!pass.exec(QStringLiteral("SELECT id, state, started_at FROM pass ORDER BY id DESC "
                                  "LIMIT 1")) ||
        !pass.next()) {
      return std::nullopt;
    }
    LastPassSummary s;
    const qint64 id = pass.value(0).toLongLong();
    s.finished = pass.value(1).toInt() == static_cast<int>(PassState::Finished);
    s.startedAt = shortTime(pass.value(2).toString());
    QSqlQuery rows(db);
    rows.prepare(QStringLiteral("SELECT COUNT(*) FROM pass_row WHERE pass_id = ?"));
    rows.addBindValue(id);
    if (rows.exec() && rows.next()) s.rows = rows.value(0).toInt();
    // A row's outcome in this pass is its latest attempt's.
    QSqlQuery outcomes(db);
    outcomes.prepare(
        QStringLiteral("SELECT a.outcome, COUNT(*), MAX(a.outcome_at) FROM attempt a"
                       " WHERE a.pass_id = ? AND a.outcome IS NOT NULL AND a.outcome <> ''"
                       " AND a.id = (SELECT MAX(b.id) FROM attempt b WHERE b.pass_id = a.pass_id"
                       "             AND b.row_id = a.row_id AND b.outcome IS NOT NULL)"
                       " GROUP BY a.outcome"));
    outcomes.addBindValue(id);
    if (!outcomes.exec()) return std::nullopt;
    while (outcomes.next()) {
      const QString outcome = outcomes.value(0).toString();
      const int count = outcomes.value(1).toInt();
      if (outcome == QStringLiteral("成功")) s.succeeded += count;
      if (outcome == QStringLiteral("失败")) s.failed += count;
      if (outcome == QStringLiteral("地址错误")) s.wrongAddress += count;
      const QString at = shortTime(outcomes.value(2).toString());
      if (at > s.lastAt) s.lastAt = at;
    }
    summary = s;
  }
  return summary;
}

}  // namespace quillet
