#include "browser/window_document.h"

#include <QWidget>

#include "browser/browser_control.h"

namespace quillet {

bool WindowDocument::attach(QWidget* window) {
  if (!window) return false;
  window_ = window;
  getDocumentFromWindow(window, document_);
  return !document_.isNull();
}

bool WindowDocument::getDocumentFromWindow(QWidget* window, DocumentRef& out) {
  return documentFromWindow(window, out);
}

QWidget* WindowDocument::findBrowserServerWindow(QWidget* parent) {
  return findBrowserControl(parent);
}

}  // namespace quillet
