#pragma once

#include <QString>

namespace quillet::page_scripts {

// Every script that the page objects run in a page. Each builder returns an immediately
// invoked function whose arguments are JSON-encoded (never spliced into the text by hand) and
// which returns plain data. They run in the isolated application world, where the page's own
// scripts cannot see our state. That state, `quilletState` in the isolated world's global
// object, holds the document it belongs to and its token; every script except documentToken()
// and readyState() first checks that the token still names the shown document and otherwise
// does nothing, so nothing collected on one document is ever used on the next.

/// Returns the token of the shown document, giving it `candidate` when it has none yet.
QString documentToken(const QString& candidate);
/// true while the shown document has token `doc`.
QString isCurrentDocument(const QString& doc);
/// The shown document's readyState ("loading", "interactive", "complete").
QString readyState();

/// Appends the body's elements to the collections of page object `pageId`; returns true when
/// the document had a body.
QString refreshCollections(const QString& doc, const QString& pageId);
/// Drops the collections of page object `pageId`.
QString clearCollections(const QString& doc, const QString& pageId);
/// Length of one collection (0 when unknown).
QString collectionCount(const QString& doc, const QString& pageId, const QString& collection);
/// Clicks the element at 1-based `position` of a collection; true when clicked.
QString clickInCollection(const QString& doc, const QString& pageId, const QString& collection,
                          int position);
/// Writes `value` into the `value` property of the element at `position`; true when written.
QString setValueInCollection(const QString& doc, const QString& pageId, const QString& collection,
                             int position, const QString& value);
/// A property of the element at `position`, as text; null when out of range.
QString propertyInCollection(const QString& doc, const QString& pageId, const QString& collection,
                             int position, const QString& property);

/// Wraps every occurrence of `text` in the body's visible text in a highlight element built
/// with DOM calls; returns the number of occurrences.
QString highlightText(const QString& doc, const QString& text);

/// Keeps the element found for `key` in `mode` for page object `pageId` and returns its handle
/// (0 when none).
QString elementByKey(const QString& doc, const QString& pageId, const QString& key, int mode);
/// Forgets every element kept for page object `pageId`; returns how many there were.
QString releaseElements(const QString& doc, const QString& pageId);
/// Clicks the element found for `key` in `mode` (0..4, `exact` for modes 3 and 4).
QString clickLinkByKey(const QString& doc, const QString& key, int mode, bool exact);
/// The text and address ([text, href]) of the element that clickLinkByKey() would click;
/// null when there is none.
QString describeLinkByKey(const QString& doc, const QString& key, int mode, bool exact);
/// Writes `value` into the element found for `key` in `mode` (1: name, else id).
QString setValueByKey(const QString& doc, const QString& key, int mode, const QString& value);

/// Operations on an element kept by elementByKey().
QString clickElement(const QString& doc, int handle);
QString setElementValue(const QString& doc, int handle, const QString& value);
QString elementProperty(const QString& doc, int handle, const QString& property);

}  // namespace quillet::page_scripts
