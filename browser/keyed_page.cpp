#include "browser/keyed_page.h"

#include "browser/browser_control.h"
#include "browser/page_scripts.h"
#include "browser/script_runner.h"

namespace quillet {

bool KeyedPage::Attach(QWidget* window) {
  if (!window) return false;
  return GetDocumentFromWindow(window, document_);
}

bool KeyedPage::Attach(const DocumentRef& document) {
  document_ = document;
  return !document_.isNull();
}

bool KeyedPage::GetDocumentFromWindow(QWidget* window, DocumentRef& out) {
  return documentFromWindow(window, out);
}

QWidget* KeyedPage::FindBrowserServerWindow(QWidget* parent) {
  return findBrowserControl(parent);
}

bool KeyedPage::ClickLinkByKey(const QString& key, int mode, bool exact) {
  if (document_.isNull()) return false;
  return runScriptSync(document_.page(),
                       page_scripts::clickLinkByKey(document_.token(), key, mode, exact))
      .toBool();
}

std::optional<KeyedPage::LinkInfo> KeyedPage::DescribeLinkByKey(const QString& key, int mode,
                                                                bool exact) {
  if (document_.isNull()) return std::nullopt;
  const QVariant found = runScriptSync(
      document_.page(), page_scripts::describeLinkByKey(document_.token(), key, mode, exact));
  const QVariantList parts = found.toList();
  if (parts.size() != 2) return std::nullopt;
  return LinkInfo{parts.at(0).toString(), parts.at(1).toString()};
}

void KeyedPage::SetValueByKey(const QString& key, int mode, const QString& value) {
  if (document_.isNull()) return;
  runScriptSync(document_.page(), page_scripts::setValueByKey(document_.token(), key, mode, value));
}

ElementRef KeyedPage::GetElementByKey(const QString& key, int mode) {
  if (document_.isNull()) return {};
  const int handle =
      runScriptSync(document_.page(), page_scripts::elementByKey(document_.token(), key, mode))
          .toInt();
  if (handle <= 0) return {};
  return ElementRef(document_, handle);
}

}  // namespace quillet
