#include "browser/cookie_conversion.h"

#include <QDateTime>

namespace quillet {
namespace {

std::string toStd(const QByteArray& bytes) {
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

QByteArray toBytes(const std::string& text) {
  return QByteArray(text.data(), qsizetype(text.size()));
}

bool isDomainCookie(const Cookie& cookie) {
  return !cookie.domain.empty() && cookie.domain.front() == '.';
}

}  // namespace

Cookie toJarCookie(const QNetworkCookie& cookie) {
  Cookie out;
  out.domain = cookie.domain().toStdString();
  out.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
  out.name = toStd(cookie.name());
  out.value = toStd(cookie.value());
  out.secure = cookie.isSecure();
  out.httpOnly = cookie.isHttpOnly();
  out.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
  return out;
}

QNetworkCookie toEngineCookie(const Cookie& cookie) {
  QNetworkCookie out(toBytes(cookie.name), toBytes(cookie.value));
  if (isDomainCookie(cookie)) out.setDomain(QString::fromStdString(cookie.domain));
  out.setPath(cookie.path.empty() ? QStringLiteral("/") : QString::fromStdString(cookie.path));
  out.setSecure(cookie.secure);
  out.setHttpOnly(cookie.httpOnly);
  if (cookie.expires != 0) out.setExpirationDate(QDateTime::fromSecsSinceEpoch(cookie.expires));
  return out;
}

QUrl engineOrigin(const Cookie& cookie) {
  QString host = QString::fromStdString(cookie.domain);
  if (host.startsWith(QLatin1Char('.'))) host.remove(0, 1);
  QUrl origin;
  origin.setScheme(cookie.secure ? QStringLiteral("https") : QStringLiteral("http"));
  origin.setHost(host);
  origin.setPath(QStringLiteral("/"));
  return origin;
}

}  // namespace quillet
