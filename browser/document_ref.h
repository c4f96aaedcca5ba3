#pragma once

#include <QPointer>
#include <QString>
#include <QWebEnginePage>

#include "browser/script_runner.h"

namespace quillet {

/// A reference to one document shown by a page: the page plus the token that the document got
/// in the page's isolated script world when it was first reached. A navigation replaces that
/// world, so a reference to an earlier document never reaches the elements of the next one:
/// operations through a stale reference silently do nothing. Empty when default-constructed.
class DocumentRef {
 public:
  DocumentRef() = default;

  /// The document that `page` shows now, or an empty reference when the page has never loaded
  /// anything, is gone, or does not answer within `timeoutMs`.
  static DocumentRef currentOf(QWebEnginePage* page, int timeoutMs = kScriptTimeoutMs);

  bool isNull() const { return page_.isNull() || token_.isEmpty(); }
  QWebEnginePage* page() const { return page_.data(); }
  /// The document's token in the isolated world (empty for a null reference).
  const QString& token() const { return token_; }

  /// True while the page still shows this very document (asks the page; false when null).
  bool isCurrent() const;

  friend bool operator==(const DocumentRef& a, const DocumentRef& b) {
    return a.page_.data() == b.page_.data() && a.token_ == b.token_;
  }
  friend bool operator!=(const DocumentRef& a, const DocumentRef& b) { return !(a == b); }

 private:
  DocumentRef(QWebEnginePage* page, QString token) : page_(page), token_(std::move(token)) {}

  QPointer<QWebEnginePage> page_;
  QString token_;
};

/// `window` (a BrowserControl or a widget with one below it) to the document its page shows.
/// On failure `out` is emptied and the result is false.
bool documentFromWindow(QWidget* window, DocumentRef& out, int timeoutMs = kScriptTimeoutMs);

}  // namespace quillet
