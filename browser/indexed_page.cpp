#include "browser/indexed_page.h"

#include <QWidget>
#include <atomic>

#include "browser/browser_control.h"
#include "browser/page_scripts.h"
#include "browser/script_runner.h"

namespace quillet {

namespace {

// The page load poll: a fixed step, independent of the time scale of the designed waits.
constexpr int kWaitStepMs = 10;

QString nextPageId() {
  static std::atomic<quint64> counter{0};
  return QStringLiteral("p%1").arg(++counter);
}

}  // namespace

IndexedPage::IndexedPage() : id_(nextPageId()) {}

IndexedPage::~IndexedPage() {
  clearCollections();
}

QStringList IndexedPage::collectionNames() {
  return {QStringLiteral("divs"),      QStringLiteral("buttons"),    QStringLiteral("tables"),
          QStringLiteral("radios"),    QStringLiteral("checkboxes"), QStringLiteral("textBoxes"),
          QStringLiteral("selects"),   QStringLiteral("links"),      QStringLiteral("hiddens"),
          QStringLiteral("textAreas"), QStringLiteral("images"),     QStringLiteral("forms"),
          QStringLiteral("spans"),     QStringLiteral("listItems"),  QStringLiteral("frames")};
}

bool IndexedPage::attach(QWidget* window) {
  if (!window) return false;
  clearCollections();
  window_ = window;
  return getDocumentFromWindow(window, document_);
}

bool IndexedPage::attach(const DocumentRef& document) {
  if (document.isNull()) return false;
  setDocument(document);
  return true;
}

bool IndexedPage::getDocumentFromWindow(QWidget* window, DocumentRef& out) {
  if (!documentFromWindow(window, out, answerTimeoutMs_)) return false;
  // Refreshes this object's own document, which is `out` only when the caller passed it.
  refreshCollections();
  return true;
}

QWidget* IndexedPage::findBrowserServerWindow(QWidget* parent) {
  return findBrowserControl(parent);
}

void IndexedPage::collectBrowserServerWindows(QWidget* parent, QList<QWidget*>& out) {
  collectBrowserControls(parent, out);
}

void IndexedPage::setDocument(const DocumentRef& document) {
  clearCollections();
  document_ = document;
  refreshCollections();
}

QVariant IndexedPage::run(const QString& script) const {
  return runScriptSync(document_.page(), script, answerTimeoutMs_);
}

void IndexedPage::refreshCollections() {
  if (document_.isNull()) return;
  run(page_scripts::refreshCollections(document_.token(), id_));
}

void IndexedPage::clearCollections() {
  // Nothing to wait for: later scripts on the same page run after this one.
  if (!document_.isNull()) {
    runScriptAsync(document_.page(), page_scripts::clearCollections(document_.token(), id_));
  }
  document_ = DocumentRef();
}

void IndexedPage::clickAt(const QString& collection, int position) {
  if (document_.isNull() || position < 1) return;
  run(page_scripts::clickInCollection(document_.token(), id_, collection, position));
}

void IndexedPage::clickButton(int position) {
  clickAt(QStringLiteral("buttons"), position);
}

void IndexedPage::clickLink(int position) {
  clickAt(QStringLiteral("links"), position);
}

void IndexedPage::setTextBoxValue(int position, const QString& text) {
  if (document_.isNull() || position < 1) return;
  run(page_scripts::setValueInCollection(document_.token(), id_, QStringLiteral("textBoxes"),
                                         position, text));
}

void IndexedPage::waitUntilComplete(QWidget* window, std::optional<int> timeoutMs) {
  QPointer<BrowserControl> control(browserControlOf(window));
  if (!control) return;
  DocumentRef found;
  // A browser whose first page is still on its way has no document yet, but it is loading
  // one: that is worth waiting for.
  if (!getDocumentFromWindow(window, found) && !control->isLoading()) return;
  int elapsed = 0;
  while (control) {
    dispatchEventsFor(kWaitStepMs);
    elapsed += kWaitStepMs;
    if (timeoutMs && elapsed >= *timeoutMs) return;
    if (!control) return;
    // A load that has been asked for but has not yet replaced the document leaves the old
    // document "complete"; the control's own loading state covers that gap.
    if (control->isLoading()) continue;
    const QVariant state = runScriptSync(control->page(), page_scripts::readyState());
    if (state.toString() == QLatin1String("complete")) return;
  }
}

bool IndexedPage::highlightText(const QString& text) {
  searchAnswered_ = false;
  if (document_.isNull() || text.isEmpty()) return false;
  const QVariant found = run(page_scripts::highlightText(document_.token(), text));
  searchAnswered_ = found.isValid();
  return found.toInt() > 0;
}

int IndexedPage::count(const QString& collectionName) const {
  if (document_.isNull()) return 0;
  return run(page_scripts::collectionCount(document_.token(), id_, collectionName)).toInt();
}

QString IndexedPage::elementProperty(const QString& collectionName, int position,
                                     const QString& property) const {
  if (document_.isNull() || position < 1) return {};
  const QVariant value = run(page_scripts::propertyInCollection(
      document_.token(), id_, collectionName, position, property));
  return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

}  // namespace quillet
