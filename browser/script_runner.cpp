#include "browser/script_runner.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>

namespace quillet {

namespace {

struct PendingResult {
  bool done = false;
  QVariant value;
};

}  // namespace

QVariant runScriptSync(QWebEnginePage* page, const QString& script, int timeoutMs) {
  if (!page) return {};
  QPointer<QWebEnginePage> guard(page);
  // The callback may arrive after this call has given up (time-out) or never; it only touches
  // the shared result and a guarded pointer to the loop.
  auto result = std::make_shared<PendingResult>();
  QEventLoop loop;
  QPointer<QEventLoop> loopGuard(&loop);
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                      [result, loopGuard](const QVariant& value) {
                        result->done = true;
                        result->value = value;
                        if (loopGuard) loopGuard->quit();
                      });
  if (result->done) return result->value;

  QTimer timeout;
  timeout.setSingleShot(true);
  QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
  timeout.start(timeoutMs);
  // A short wait for the page's answer: clicks and keys wait for it too, so
  // that no handler of the window runs in the middle of a page step (the
  // designed waits are where the window stays live).
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!guard || !result->done) return {};
  return result->value;
}

void runScriptAsync(QWebEnginePage* page, const QString& script) {
  if (!page) return;
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void dispatchEventsFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace quillet
