#include "browser/keyed_page.h"

#include <atomic>

#include "browser/browser_control.h"
#include "browser/page_scripts.h"
#include "browser/script_runner.h"

namespace quillet {

namespace {

QString nextKeyedPageId() {
  static std::atomic<quint64> counter{0};
  return QStringLiteral("k%1").arg(++counter);
}

}  // namespace

KeyedPage::KeyedPage() : id_(nextKeyedPageId()) {}

KeyedPage::~KeyedPage() {
  releaseElements();
}

bool KeyedPage::attach(QWidget* window) {
  if (!window) return false;
  DocumentRef found;
  const bool ok = getDocumentFromWindow(window, found);
  take(found);
  return ok;
}

bool KeyedPage::attach(const DocumentRef& document) {
  take(document);
  return !document_.isNull();
}

void KeyedPage::take(const DocumentRef& document) {
  // Elements of the document left behind are of no further use to this object.
  if (document != document_) releaseElements();
  document_ = document;
}

void KeyedPage::releaseElements() {
  // Nothing to wait for: later scripts on the same page run after this one.
  if (!document_.isNull()) {
    runScriptAsync(document_.page(), page_scripts::releaseElements(document_.token(), id_));
  }
}

bool KeyedPage::getDocumentFromWindow(QWidget* window, DocumentRef& out) {
  return documentFromWindow(window, out);
}

QWidget* KeyedPage::findBrowserServerWindow(QWidget* parent) {
  return findBrowserControl(parent);
}

bool KeyedPage::clickLinkByKey(const QString& key, int mode, bool exact) {
  if (document_.isNull()) return false;
  return runScriptSync(document_.page(),
                       page_scripts::clickLinkByKey(document_.token(), key, mode, exact))
      .toBool();
}

std::optional<KeyedPage::LinkInfo> KeyedPage::describeLinkByKey(const QString& key, int mode,
                                                                bool exact) {
  if (document_.isNull()) return std::nullopt;
  const QVariant found = runScriptSync(
      document_.page(), page_scripts::describeLinkByKey(document_.token(), key, mode, exact));
  const QVariantList parts = found.toList();
  if (parts.size() != 2) return std::nullopt;
  return LinkInfo{parts.at(0).toString(), parts.at(1).toString()};
}

void KeyedPage::setValueByKey(const QString& key, int mode, const QString& value) {
  if (document_.isNull()) return;
  runScriptSync(document_.page(), page_scripts::setValueByKey(document_.token(), key, mode, value));
}

ElementRef KeyedPage::getElementByKey(const QString& key, int mode) {
  if (document_.isNull()) return {};
  const int handle =
      runScriptSync(document_.page(), page_scripts::elementByKey(document_.token(), id_, key, mode))
          .toInt();
  if (handle <= 0) return {};
  return ElementRef(document_, handle);
}

}  // namespace quillet
