#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

#include "browser/document_ref.h"
#include "browser/script_runner.h"

class QWidget;

namespace quillet {

/// A document's elements by 1-based position inside typed collections (the n-th button, text
/// box, link ...), collected when the page object is attached. The collections live in the
/// page's isolated script world, keyed by this object's id, so position n keeps meaning the
/// element collected then, even if the page adds or removes elements later. Every operation is
/// silent: an empty document, a missing body or a position out of range does nothing.
///
/// The collections, in document order: "divs", "buttons" (inputs of type button/submit/reset,
/// then button elements), "tables", "radios", "checkboxes", "textBoxes" (inputs of type
/// text/password/file), "selects", "links", "hiddens", "textAreas", "images" (image inputs, then
/// image elements, then img elements), "forms", "spans", "listItems", "frames".
class IndexedPage {
 public:
  IndexedPage();
  ~IndexedPage();  // drops this object's collections from the page's isolated world
  IndexedPage(const IndexedPage&) = delete;
  IndexedPage& operator=(const IndexedPage&) = delete;

  /// Clears, remembers `window` and reaches its browser's current document (collecting its
  /// elements). `window` is a BrowserControl or any widget with one below it. False when there
  /// is no browser control or its page has no document.
  bool attach(QWidget* window);
  /// Clears, takes `document` and collects its elements. False for a null document.
  bool attach(const DocumentRef& document);

  /// Puts the document of `window`'s browser into `out`; on success the collections of this
  /// object's own document are refreshed (appended to, not rebuilt).
  bool getDocumentFromWindow(QWidget* window, DocumentRef& out);

  /// The first BrowserControl below `parent`, depth-first; nullptr when there is none.
  static QWidget* findBrowserServerWindow(QWidget* parent);
  /// Every BrowserControl below `parent`, in the same order.
  static void collectBrowserServerWindows(QWidget* parent, QList<QWidget*>& out);

  /// clearCollections, take `document`, refreshCollections.
  void setDocument(const DocumentRef& document);
  /// Appends the document's elements to the collections (it does not empty them first).
  void refreshCollections();
  /// Releases the document and empties every collection. The clipboard is left alone.
  void clearCollections();

  void clickButton(int position);
  void setTextBoxValue(int position, const QString& text);
  void clickLink(int position);

  /// Waits until the page of `window`'s browser has finished loading, polling every 10 ms
  /// while window events keep being dispatched. `timeoutMs` counts only the 10 ms steps;
  /// without it the wait lasts as long as the page loads. Returns at once when there is no
  /// browser, or when it neither shows a document nor is loading one. If this object is attached,
  /// its collections get a second copy of every element (the document lookup refreshes them without
  /// clearing).
  void waitUntilComplete(QWidget* window, std::optional<int> timeoutMs = std::nullopt);

  /// Wraps every occurrence of `text` in the body's visible text (also one that spans element
  /// boundaries) in a highlight built from DOM nodes; page text is never parsed as markup.
  /// Matching ignores case and treats runs of white space as one space. True when at least one
  /// occurrence was found.
  bool highlightText(const QString& text);
  /// Whether the page answered the last highlightText() (false when there was no document, or
  /// the page gave no answer in time or went away): "not found" then means "not known".
  bool lastSearchAnswered() const { return searchAnswered_; }

  /// Number of elements in a collection (names as above); 0 for an unknown name or no document.
  int count(const QString& collectionName) const;
  /// Reads a property (e.g. "id", "value", "tagName") of the element at `position` of a
  /// collection; empty when out of range.
  QString elementProperty(const QString& collectionName, int position,
                          const QString& property) const;

  DocumentRef document() const { return document_; }
  QWidget* window() const { return window_.data(); }

  /// How long each of this object's calls into the page waits for an answer (kScriptTimeoutMs
  /// unless set). A check whose answer decides an outcome sets kOutcomeAnswerTimeoutMs, so that
  /// a page kept busy by its own scripts is waited for instead of read as "not found".
  void setAnswerTimeout(int milliseconds) { answerTimeoutMs_ = milliseconds; }

  /// The collection names, in the order of the data model.
  static QStringList collectionNames();

 private:
  void clickAt(const QString& collection, int position);
  QVariant run(const QString& script) const;

  QString id_;
  DocumentRef document_;
  QPointer<QWidget> window_;
  int answerTimeoutMs_ = kScriptTimeoutMs;
  bool searchAnswered_ = false;
};

}  // namespace quillet
