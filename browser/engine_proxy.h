#pragma once

#include <QString>

class QWebEnginePage;

namespace quillet {

/// The browser engine's proxy is the process's: Chromium takes it once, from
/// its command-line flags, when the engine starts. These calls hold it until
/// then and answer the proxy's questions afterwards.

/// Routes every page of this process through `server` ("http://host:port",
/// "https://…" or "socks5://…"), loopback addresses included; `user` and
/// `password` answer a proxy that asks for credentials. Call before the
/// application object exists.
void useEngineProxy(const QString& server, const QString& user, const QString& password);

/// Adds the proxy's flags to QTWEBENGINE_CHROMIUM_FLAGS (after whatever the
/// variable already holds), where the engine reads them as it starts. Does
/// nothing without useEngineProxy(). Call after every other change to the
/// variable, before the first page exists.
void addEngineProxyFlags();

/// Gives `page` the proxy's credentials whenever the proxy asks for them.
void answerProxyAuthentication(QWebEnginePage* page);

/// The server set by useEngineProxy(), empty when there is none.
QString engineProxyServer();

}  // namespace quillet
