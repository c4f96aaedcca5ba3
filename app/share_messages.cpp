#include "app/share_messages.h"

#include "app/dialogs.h"
#include "share/discard_question.h"
#include "share/share_engine.h"
#include "share/share_journal.h"

namespace quillet {

void showShareMessages(ShareEngine& engine, Dialogs& dialogs) {
  // Same-thread connections run at once: the box is answered before the
  // engine goes on (with the period field already holding the focus), and
  // before the import's count reaches the status bar.
  QObject::connect(&engine, &ShareEngine::refused, &engine, [&dialogs](Refusal reason) {
    dialogs.information(refusalTitle(reason), refusalText(reason));
  });
  QObject::connect(&engine, &ShareEngine::importFailed, &engine,
                   [&dialogs](const ImportFailure& failure) {
                     dialogs.information(importFailureTitle(), importFailureText(failure));
                   });
}

void showJournalProblems(ShareJournal& journal, Dialogs& dialogs) {
  QObject::connect(&journal, &ShareJournal::problem, &journal, [&dialogs](const QString& text) {
    dialogs.warning(ShareJournal::messageTitle(), text);
  });
}

std::function<bool(int)> askBeforeResend(Dialogs& dialogs) {
  return [&dialogs](int rowsWithResults) {
    return dialogs.question(QStringLiteral("失败重发"), resendDiscardQuestion(rowsWithResults));
  };
}

ImportResult importThroughDialog(ShareEngine& engine, Dialogs& dialogs) {
  return engine.importFile(dialogs.getOpenFileName());
}

}  // namespace quillet
