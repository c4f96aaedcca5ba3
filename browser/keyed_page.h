#pragma once

#include <QString>
#include <optional>

#include "browser/document_ref.h"
#include "browser/element_ref.h"

class QWidget;

namespace quillet {

/// A document's elements by key. Modes: 0 element id, 1 element name (first element of that
/// name), 2 link index (key "1" is the first `a` element), 3 link text, 4 link address.
/// Every operation is silent: no document or a key that matches nothing does nothing.
/// The elements it hands out are kept in the page's isolated world for as long as this object
/// lives (and stays on their document); after that they no longer reach anything.
class KeyedPage {
 public:
  KeyedPage();
  ~KeyedPage();  // releases the elements it handed out
  KeyedPage(const KeyedPage&) = delete;
  KeyedPage& operator=(const KeyedPage&) = delete;

  /// Reaches the document of `window`'s browser (a BrowserControl or a widget with one below).
  bool attach(QWidget* window);
  bool attach(const DocumentRef& document);
  bool getDocumentFromWindow(QWidget* window, DocumentRef& out);
  static QWidget* findBrowserServerWindow(QWidget* parent);

  /// Clicks the first element found for `key` in `mode` (0..4; other modes click nothing).
  /// Modes 3 and 4 compare the link's text / address: equal, case-sensitively, with `exact`,
  /// else containing the key, ignoring case. True when something was clicked.
  bool clickLinkByKey(const QString& key, int mode, bool exact = false);
  /// The text and address of the element clickLinkByKey() would click, without clicking it.
  struct LinkInfo {
    QString text;
    QString href;  // absolute; empty for an element that is not a link
  };
  std::optional<LinkInfo> describeLinkByKey(const QString& key, int mode, bool exact = false);
  /// Writes `value` to the `value` property of getElementByKey(key, mode).
  void setValueByKey(const QString& key, int mode, const QString& value);
  /// Mode 1: the first element named `key`; any other mode: the element with id `key`.
  /// A null ElementRef when nothing matches. The element stays reachable while this object lives.
  ElementRef getElementByKey(const QString& key, int mode);

  DocumentRef document() const { return document_; }

 private:
  void take(const DocumentRef& document);
  void releaseElements();

  QString id_;
  DocumentRef document_;
};

}  // namespace quillet
