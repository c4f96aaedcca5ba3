#pragma once

#include <QNetworkCookie>
#include <QUrl>

#include "net/cookie.h"

namespace quillet {

/// The browser engine's form of a cookie and the jar's form, both ways.
///
/// The engine reports a host-only cookie with the bare host as its domain and
/// a domain cookie with a leading dot, which is the jar's convention too. To
/// set a host-only cookie in the engine, the domain attribute must be left
/// out and the host given as the origin instead: an explicit domain attribute
/// would widen it to the subdomains.
Cookie toJarCookie(const QNetworkCookie& cookie);
QNetworkCookie toEngineCookie(const Cookie& cookie);
/// The origin under which the engine stores `cookie` (https for secure ones).
QUrl engineOrigin(const Cookie& cookie);

}  // namespace quillet
