#include "tests/browser/browser_test_support.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>

#include "browser/browser_control.h"

namespace quillet::test {

bool loadAndWait(BrowserControl& control, const QUrl& url) {
  QSignalSpy finished(control.page(), &QWebEnginePage::loadFinished);
  control.navigate(url.toString());
  if (!finished.wait(15000)) return false;
  return finished.last().first().toBool();
}

QVariant evalInPage(QWebEnginePage* page, const QString& script) {
  auto result = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
  QEventLoop loop;
  QPointer<QEventLoop> guard(&loop);
  page->runJavaScript(script, QWebEngineScript::MainWorld, [result, guard](const QVariant& v) {
    *result = {true, v};
    if (guard) guard->quit();
  });
  if (!result->first) {
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return result->second;
}

QString textOf(QWebEnginePage* page, const QString& id) {
  const QString idLiteral = QString::fromUtf8(
      QJsonDocument::fromVariant(QVariantList{id}).toJson(QJsonDocument::Compact));
  return evalInPage(page, QStringLiteral("(function(ids){const e=document.getElementById(ids[0]);"
                                         "return e ? e.textContent : null;})(%1)")
                              .arg(idLiteral))
      .toString();
}

}  // namespace quillet::test
