#pragma once

#include <QString>
#include <QVariant>

#include "site/site_page.h"

class QWebEnginePage;

namespace quillet {

/// How long a synchronous script call waits for the page before giving up, in milliseconds
/// (the same limit that applies to a hung browser window).
inline constexpr int kScriptTimeoutMs = 1000;


/// Runs `script` in the page's isolated application world and waits for its result while
/// window events keep being dispatched. Returns an invalid QVariant when the page is null,
/// is destroyed during the call, or does not answer within `timeoutMs`.
QVariant runScriptSync(QWebEnginePage* page, const QString& script,
                       int timeoutMs = kScriptTimeoutMs);

/// Runs `script` in the isolated world without waiting for it (safe from destructors).
void runScriptAsync(QWebEnginePage* page, const QString& script);

/// Lets window events run for `milliseconds` (a precise timer ends the wait; the CPU stays
/// idle meanwhile).
void dispatchEventsFor(int milliseconds);

}  // namespace quillet
