#pragma once

#include <QString>

#include "browser/document_ref.h"

namespace quillet {

/// One element of a document, kept in the page's isolated script world for the KeyedPage that
/// handed it out. Like DocumentRef it goes stale with its document, and also once that page
/// object is gone: every operation on a stale or null element does nothing.
class ElementRef {
 public:
  ElementRef() = default;
  ElementRef(DocumentRef document, int handle) : document_(std::move(document)), handle_(handle) {}

  bool isNull() const { return handle_ <= 0 || document_.isNull(); }
  const DocumentRef& document() const { return document_; }
  int handle() const { return handle_; }

  /// Calls the element's click(); false when the element could not be reached.
  bool click() const;
  /// Writes the `value` property; false when the element could not be reached.
  bool setValue(const QString& value) const;
  /// Reads a property of the element as text (e.g. "value", "tagName", "id", "name", "href");
  /// empty when the element could not be reached or the property is missing.
  QString property(const QString& name) const;

 private:
  DocumentRef document_;
  int handle_ = 0;
};

}  // namespace quillet
