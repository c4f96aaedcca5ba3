#include "browser/document_ref.h"

#include <QUrl>
#include <atomic>

#include "browser/browser_control.h"
#include "browser/page_scripts.h"
#include "browser/script_runner.h"

namespace quillet {

namespace {

QString nextDocumentToken() {
  static std::atomic<quint64> counter{0};
  return QStringLiteral("d%1").arg(++counter);
}

}  // namespace

DocumentRef DocumentRef::currentOf(QWebEnginePage* page, int timeoutMs) {
  // A page that was never given anything to load shows only the engine's placeholder, which
  // is no document of ours.
  if (!page || page->url().isEmpty()) return {};
  const QVariant token =
      runScriptSync(page, page_scripts::documentToken(nextDocumentToken()), timeoutMs);
  if (token.typeId() != QMetaType::QString || token.toString().isEmpty()) return {};
  return DocumentRef(page, token.toString());
}

bool DocumentRef::isCurrent() const {
  if (isNull()) return false;
  const QVariant answer = runScriptSync(page_, page_scripts::isCurrentDocument(token_));
  return answer.typeId() == QMetaType::Bool && answer.toBool();
}

bool documentFromWindow(QWidget* window, DocumentRef& out, int timeoutMs) {
  BrowserControl* control = browserControlOf(window);
  out = control ? DocumentRef::currentOf(control->page(), timeoutMs) : DocumentRef();
  return !out.isNull();
}

}  // namespace quillet
