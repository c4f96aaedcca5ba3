#include "browser/engine_proxy.h"

#include <QAuthenticator>
#include <QByteArray>
#include <QWebEnginePage>

namespace quillet {
namespace {

struct EngineProxy {
  QString server;
  QString user;
  QString password;
};

EngineProxy& proxy() {
  static EngineProxy value;
  return value;
}

}  // namespace

void useEngineProxy(const QString& server, const QString& user, const QString& password) {
  proxy() = {server, user, password};
}

void addEngineProxyFlags() {
  if (proxy().server.isEmpty()) return;
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
  // Chromium sends loopback addresses past any proxy unless the bypass list
  // takes that rule away: "<-loopback>".
  const QByteArray ours =
      "--proxy-server=" + proxy().server.toUtf8() + " --proxy-bypass-list=<-loopback>";
  if (flags.contains(ours)) return;
  if (!flags.isEmpty()) flags += ' ';
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + ours);
}

void answerProxyAuthentication(QWebEnginePage* page) {
  QObject::connect(page, &QWebEnginePage::proxyAuthenticationRequired, page,
                   [](const QUrl&, QAuthenticator* authenticator, const QString&) {
                     // Without credentials of ours, the engine's own refusal stands.
                     if (proxy().user.isEmpty() && proxy().password.isEmpty()) return;
                     authenticator->setUser(proxy().user);
                     authenticator->setPassword(proxy().password);
                   });
}

QString engineProxyServer() {
  return proxy().server;
}

}  // namespace quillet
