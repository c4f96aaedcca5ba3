#pragma once

#include <QPointer>

#include "browser/document_ref.h"

class QWidget;

namespace quillet {

/// Holds the browser window it was attached to and that window's current document.
class WindowDocument {
 public:
  /// Remembers `window` and reaches the document of its browser. False for a null window or
  /// when no document could be reached.
  bool attach(QWidget* window);
  bool getDocumentFromWindow(QWidget* window, DocumentRef& out);
  static QWidget* findBrowserServerWindow(QWidget* parent);

  DocumentRef document() const { return document_; }
  QWidget* window() const { return window_.data(); }

 private:
  DocumentRef document_;
  QPointer<QWidget> window_;
};

}  // namespace quillet
