#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

class QWebEnginePage;

namespace quillet {
class BrowserControl;
}

namespace quillet::test {

/// Navigates `control` to `url` and waits (at most 15 s) for the load to finish; true when it
/// finished successfully.
bool loadAndWait(BrowserControl& control, const QUrl& url);

/// Runs `script` in the page's own main world (as the page's scripts see it) and returns its
/// result; invalid after 5 s without an answer.
QVariant evalInPage(QWebEnginePage* page, const QString& script);

/// Text of the element with `id`, as the page's own scripts see it.
QString textOf(QWebEnginePage* page, const QString& id);

}  // namespace quillet::test
