#pragma once

#include <httplib.h>

#include <QString>
#include <QUrl>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace quillet::test {

/// A small HTTP server on 127.0.0.1 (a free port) for the browser tests. It serves the HTML
/// fixtures by path and "/hang", a resource whose response is held open until
/// releaseHanging(), so that a page that includes it never finishes loading. Stops by itself.
class PageServer {
 public:
  PageServer();
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  bool start();
  QUrl url(const QString& path) const;

  /// Serves `body` at `path` with `contentType`.
  void setPage(const std::string& path, std::string body,
               std::string contentType = "text/html; charset=utf-8");
  /// Serves the fixture file `name` (tests/browser/fixtures) at "/" + name.
  bool addFixture(const QString& name);

  /// Lets every held "/hang" response finish; later ones are held again after holdHanging().
  void releaseHanging();
  void holdHanging();

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable released_;
  bool releasing_ = false;
  bool stopping_ = false;
  std::map<std::string, std::pair<std::string, std::string>> pages_;
};

}  // namespace quillet::test
