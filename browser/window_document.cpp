#include "browser/window_document.h"

#include <QWidget>

#include "browser/browser_control.h"

namespace quillet {

bool WindowDocument::Attach(QWidget* window) {
  if (!window) return false;
  window_ = window;
  GetDocumentFromWindow(window, document_);
  return !document_.isNull();
}

bool WindowDocument::GetDocumentFromWindow(QWidget* window, DocumentRef& out) {
  return documentFromWindow(window, out);
}

QWidget* WindowDocument::FindBrowserServerWindow(QWidget* parent) {
  return findBrowserControl(parent);
}

}  // namespace quillet
