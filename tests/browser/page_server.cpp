#include "tests/browser/page_server.h"

#include <QFile>
#include <chrono>

namespace quillet::test {

PageServer::PageServer() {
  server_.set_keep_alive_timeout(1);
  server_.Get("/hang", [this](const httplib::Request&, httplib::Response& response) {
    std::unique_lock lock(mutex_);
    // Never longer than a minute, so that a failing test cannot keep the server alive.
    released_.wait_for(lock, std::chrono::seconds(60), [this] { return releasing_ || stopping_; });
    response.set_content("/* done */", "text/css");
  });
  server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    const auto page = pages_.find(request.path);
    if (page == pages_.end()) {
      response.status = 404;
      response.set_content("not found", "text/plain");
      return;
    }
    response.set_content(page->second.first, page->second.second.c_str());
  });
}

PageServer::~PageServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

bool PageServer::start() {
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return false;
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  return true;
}

QUrl PageServer::url(const QString& path) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
}

void PageServer::setPage(const std::string& path, std::string body, std::string contentType) {
  std::lock_guard lock(mutex_);
  pages_[path] = {std::move(body), std::move(contentType)};
}

bool PageServer::addFixture(const QString& name) {
  QFile file(QStringLiteral(QUILLET_BROWSER_FIXTURES "/") + name);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray body = file.readAll();
  setPage("/" + name.toStdString(), body.toStdString());
  return true;
}

void PageServer::releaseHanging() {
  {
    std::lock_guard lock(mutex_);
    releasing_ = true;
  }
  released_.notify_all();
}

void PageServer::holdHanging() {
  std::lock_guard lock(mutex_);
  releasing_ = false;
}

}  // namespace quillet::test
