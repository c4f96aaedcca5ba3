#include "net/fetch_with_timeout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "net/cookie_jar.h"
#include "net/worker_reaper.h"
#include "raw_http_server.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;
using testing::answerWith;
using testing::RawConnection;
using testing::RawHttpServer;
using testing::requestBody;
using testing::requestTarget;

// A thread's own event queue, as a GUI thread has one: events are posted from any thread and
// handled by the owning thread while a fetch waits through the queue's pump.
class EventQueue {
 public:
  void post(std::function<void()> event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }
  FetchWaitPump pump() {
    FetchWaitPump pump;
    pump.waitAndDispatch = [this](Clock::time_point until) { waitAndDispatch(until); };
    pump.wake = [this] {
      std::lock_guard lock(mutex_);
      woken_ = true;
      changed_.notify_all();
    };
    return pump;
  }
  // How many times a fetch slept in the queue.
  int waits() const { return waits_.load(); }

 private:
  void waitAndDispatch(Clock::time_point until) {
    ++waits_;
    std::vector<std::function<void()>> ready;
    {
      std::unique_lock lock(mutex_);
      changed_.wait_until(lock, until, [this] { return woken_ || !events_.empty(); });
      woken_ = false;
      ready.swap(events_);
    }
    for (const auto& event : ready) event();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::function<void()>> events_;
  bool woken_ = false;
  std::atomic<int> waits_{0};
};

class FetchWithTimeoutTest : public ::testing::Test {
 protected:
  void SetUp() override { CookieJar::instance().clear(); }
  void TearDown() override { setFetchWaitPump({}); }
};

TEST_F(FetchWithTimeoutTest, BlankAddressStartsNothing) {
  for (std::string blank : {"", "   ", " \t\r\n "}) {
    const std::string before = blank;
    std::string headers = "untouched";
    EXPECT_EQ(fetchWithTimeout(blank, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                               std::nullopt, 0, &headers),
              "");
    EXPECT_EQ(blank, before);
    // Even a zero time-out does not apply: nothing was started that could time out.
    EXPECT_EQ(headers, "untouched");
  }
}

TEST_F(FetchWithTimeoutTest, SchemeIsAddedAndWrittenBack) {
  RawHttpServer server(answerWith(RawHttpServer::response("200 OK", "", "here")));
  const std::string hostPort = "127.0.0.1:" + std::to_string(server.port());

  std::string bare = hostPort + "/a";
  EXPECT_EQ(fetchWithTimeout(bare), "here");
  EXPECT_EQ(bare, "http://" + hostPort + "/a");

  for (std::string kept :
       {"http://" + hostPort + "/b", "HTTP://" + hostPort + "/c", "Http://" + hostPort + "/d"}) {
    const std::string before = kept;
    EXPECT_EQ(fetchWithTimeout(kept), "here");
    EXPECT_EQ(kept, before);
  }
  std::string other = "ftp://" + hostPort + "/e";
  fetchWithTimeout(other, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 5);
  EXPECT_EQ(other, "http://ftp://" + hostPort + "/e");
}

TEST_F(FetchWithTimeoutTest, OutputsWrittenOnlyWhenPassed) {
  RawHttpServer server(answerWith(
      RawHttpServer::response("200 OK", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n", "b")));
  std::string address = server.url("/");
  std::string headers = "old";
  std::string cookies = "old";
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::nullopt, &headers, std::nullopt, &cookies),
            "b");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\n"));
  EXPECT_EQ(cookies, "a=1;b=2;");

  // A request that fails gives empty bytes and empty outputs.
  int closedPort;
  {
    RawHttpServer gone(answerWith(""));
    closedPort = gone.port();
  }
  address = "127.0.0.1:" + std::to_string(closedPort);
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::nullopt, &headers, std::nullopt, &cookies),
            "");
  EXPECT_EQ(headers, "");
  EXPECT_EQ(cookies, "");
}

TEST_F(FetchWithTimeoutTest, ArgumentsReachTheRequest) {
  RawHttpServer server([](RawConnection& connection) {
    const std::string request = connection.readRequest();
    if (requestTarget(request) == "/moved") {
      connection.send(RawHttpServer::response("302 Found", "Location: /final\r\n", "moved"));
    } else {
      connection.send(RawHttpServer::response("200 OK", "", request));
    }
  });
  std::string address = server.url("/form");
  const std::string post =
      fetchWithTimeout(address, 1, std::nullopt, "X-Extra: 1\r\n", std::string("k=v\0z", 5), "c=d");
  EXPECT_TRUE(post.starts_with("POST /form HTTP/1.1\r\n"));
  EXPECT_NE(post.find("\r\nX-Extra: 1\r\n"), std::string::npos);
  EXPECT_NE(post.find("\r\nCookie: c=d\r\n"), std::string::npos);
  EXPECT_EQ(requestBody(post), std::string("k=v\0z", 5));

  // Any method other than 1 is GET.
  const std::string get = fetchWithTimeout(address, 2, std::nullopt, std::nullopt, "unsent");
  EXPECT_TRUE(get.starts_with("GET /form HTTP/1.1\r\n"));
  EXPECT_EQ(requestBody(get), "");

  address = server.url("/moved");
  EXPECT_TRUE(fetchWithTimeout(address).starts_with("GET /final"));
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::nullopt, nullptr, std::nullopt, nullptr, false),
            "moved");
}

TEST_F(FetchWithTimeoutTest, ResponseEncodings) {
  // "中文 國" in UTF-8, and "國語" in Big5, with a zero byte in the raw body.
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87 \xE5\x9C\x8B";
  const std::string big5 = "\xB0\xEA\xBB\x79";
  const std::string raw("a\0b\xFF", 4);
  RawHttpServer server([&](RawConnection& connection) {
    const std::string target = requestTarget(connection.readRequest());
    const std::string body = target == "/utf8" ? utf8 : target == "/big5" ? big5 : raw;
    connection.send(RawHttpServer::response("200 OK", "", body));
  });
  const auto fetch = [&](const std::string& path, std::optional<int> encoding) {
    std::string address = server.url(path);
    return fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                            std::nullopt, std::nullopt, nullptr, encoding);
  };
  EXPECT_EQ(fetch("/utf8", 1), "\xD6\xD0\xCE\xC4 \x87\xF8");
  EXPECT_EQ(fetch("/big5", 2), "\xB9\xFA\xD3\xEF");
  EXPECT_EQ(fetch("/utf8", 0), utf8);
  EXPECT_EQ(fetch("/raw", std::nullopt), raw);
  EXPECT_EQ(fetch("/raw", 7), raw);
}

TEST_F(FetchWithTimeoutTest, TimeoutMessageIsGbk) {
  const std::string message = fetchTimeoutMessage();
  EXPECT_TRUE(message.starts_with("\xB3\xAC\xCA\xB1\xB7\xB5\xBB\xD8"));  // 超时返回
  EXPECT_NE(message.find("\xA3\xA2\xB3\xAC\xCA\xB1\xB7\xB5\xBB\xD8\xA3\xA2"),
            std::string::npos);                // ＂超时返回＂
  EXPECT_TRUE(message.ends_with("\xA1\xA3"));  // 。
  EXPECT_EQ(message.find('\0'), std::string::npos);
}

TEST_F(FetchWithTimeoutTest, ZeroTimeoutAlwaysTimesOut) {
  RawHttpServer server(answerWith(RawHttpServer::response("200 OK", "", "quick")));
  std::string address = server.url("/");
  std::string headers = "untouched";
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, 0, &headers),
            fetchTimeoutMessage());
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, -3, &headers),
            fetchTimeoutMessage());
  EXPECT_EQ(headers, "untouched");
}

TEST_F(FetchWithTimeoutTest, HangingServersEndInTheMessageAtTheDeadline) {
  RawHttpServer silent([](RawConnection& connection) {
    connection.readRequest();
    connection.waitForStop();
  });
  RawHttpServer dribbling([](RawConnection& connection) {
    connection.readRequest();
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\nSet-Cookie: d=1\r\n\r\n");
    while (connection.send("x")) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  for (RawHttpServer* server : {&silent, &dribbling}) {
    std::string address = server->url("/");
    std::string headers = "untouched";
    std::string cookies = "untouched";
    const auto start = Clock::now();
    EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                               std::nullopt, 0.4, &headers, std::nullopt, &cookies),
              fetchTimeoutMessage());
    // Not before the deadline.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_EQ(headers, "untouched");
    EXPECT_EQ(cookies, "untouched");
  }
}

TEST_F(FetchWithTimeoutTest, LateAnswerNeverReachesTheCaller) {
  RawHttpServer late([](RawConnection& connection) {
    connection.readRequest();
    if (connection.waitForStop(600)) return;
    connection.send(RawHttpServer::response("200 OK", "Set-Cookie: late=1\r\n", "late body"));
  });
  std::string address = late.url("/");
  std::string headers = "untouched";
  std::string cookies = "untouched";
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, 0.2, &headers, std::nullopt, &cookies),
            fetchTimeoutMessage());
  // Give the abandoned worker every chance to finish, then look again.
  for (int i = 0; i < 300 && WorkerReaper::instance().pending() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(WorkerReaper::instance().pending(), 0u);
  EXPECT_EQ(headers, "untouched");
  EXPECT_EQ(cookies, "untouched");
  EXPECT_EQ(address, late.url("/"));
}

TEST_F(FetchWithTimeoutTest, PumpRunsOnTheInstallingThreadOnly) {
  RawHttpServer slow([](RawConnection& connection) {
    connection.readRequest();
    if (connection.waitForStop(150)) return;
    connection.send(RawHttpServer::response("200 OK", "", "slow"));
  });
  EventQueue events;
  setFetchWaitPump(events.pump());
  std::string address = slow.url("/");
  EXPECT_EQ(fetchWithTimeout(address), "slow");
  EXPECT_GT(events.waits(), 0);

  // Another thread waits without the pump.
  const int before = events.waits();
  std::thread other([&] {
    std::string otherAddress = slow.url("/");
    EXPECT_EQ(fetchWithTimeout(otherAddress), "slow");
  });
  other.join();
  EXPECT_EQ(events.waits(), before);
}

// The wait does not poll: it sleeps until the worker finishes, handling the thread's own events
// as they arrive, and ends as soon as the answer is there rather than at the deadline.
TEST_F(FetchWithTimeoutTest, WaitSleepsUntilTheWorkerOrAnEvent) {
  RawHttpServer slow([](RawConnection& connection) {
    connection.readRequest();
    if (connection.waitForStop(400)) return;
    connection.send(RawHttpServer::response("200 OK", "", "slow"));
  });
  EventQueue events;
  setFetchWaitPump(events.pump());
  std::atomic<bool> fetching{false};
  bool handledWhileFetching = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    events.post([&] { handledWhileFetching = fetching.load(); });
  });
  std::string address = slow.url("/");
  fetching = true;
  // Had the worker's wake-up gone unheard, the wait would sleep to the deadline and report a
  // time-out.
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, 30),
            "slow");
  fetching = false;
  poster.join();
  EXPECT_TRUE(handledWhileFetching);
  // One sleep up to the posted event, one up to the worker's wake-up (a few more at most).
  EXPECT_LE(events.waits(), 4);
}

TEST_F(FetchWithTimeoutTest, PumpMayStartANestedFetch) {
  RawHttpServer server([](RawConnection& connection) {
    const std::string target = requestTarget(connection.readRequest());
    if (target == "/outer" && connection.waitForStop(150)) return;
    connection.send(RawHttpServer::response("200 OK", "", target));
  });
  std::string inner;
  EventQueue events;
  setFetchWaitPump(events.pump());
  events.post([&] {
    std::string address = server.url("/inner");
    inner = fetchWithTimeout(address);
  });
  std::string address = server.url("/outer");
  EXPECT_EQ(fetchWithTimeout(address), "/outer");
  EXPECT_EQ(inner, "/inner");
}

TEST_F(FetchWithTimeoutTest, SilentServerSleepsToTheDeadline) {
  RawHttpServer silent([](RawConnection& connection) {
    connection.readRequest();
    connection.waitForStop();
  });
  EventQueue events;
  setFetchWaitPump(events.pump());
  std::string address = silent.url("/");
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, 0.3),
            fetchTimeoutMessage());
  EXPECT_GE(events.waits(), 1);
  EXPECT_LE(events.waits(), 3);
}

// A worker that cancelling cannot reach (here: stuck in its body sink) must not hold the
// process at its exit. Run in a child process that exits after the time-out.
TEST_F(FetchWithTimeoutTest, ExitDoesNotWaitForAStuckWorker) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  RawHttpServer server(answerWith(RawHttpServer::response("200 OK", "", "body")));
  const auto stuck = [&server] {
    std::string address = server.url("/");
    const std::string result = fetchWithTimeoutToSink(
        [](std::string_view) {
          std::mutex never;
          std::unique_lock lock(never);
          std::condition_variable().wait(lock);  // no one ever notifies it
          return true;
        },
        address, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0.2);
    std::exit(result == fetchTimeoutMessage() ? 0 : 1);
  };
  EXPECT_EXIT(stuck(), ::testing::ExitedWithCode(0), "");
}

TEST_F(FetchWithTimeoutTest, SinkTakesTheFinalBodyPieceByPiece) {
  const std::string big(1 << 20, 'b');
  RawHttpServer server([&](RawConnection& connection) {
    const std::string target = requestTarget(connection.readRequest());
    if (target == "/moved") {
      connection.send(RawHttpServer::response("302 Found", "Location: /big\r\n", "moved"));
    } else {
      connection.send(RawHttpServer::response("200 OK", "", big));
    }
  });
  auto received = std::make_shared<std::string>();
  const auto sink = [received](std::string_view piece) {
    received->append(piece);
    return true;
  };
  std::string address = server.url("/moved");
  std::string headers;
  EXPECT_EQ(fetchWithTimeoutToSink(sink, address, std::nullopt, std::nullopt, std::nullopt,
                                   std::nullopt, std::nullopt, std::nullopt, &headers),
            "");
  EXPECT_TRUE(*received == big) << received->size();
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n"));

  // Not followed, the redirect's own body is the body.
  received->clear();
  fetchWithTimeoutToSink(sink, address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                         std::nullopt, std::nullopt, nullptr, nullptr, false);
  EXPECT_EQ(*received, "moved");

  // A sink that refuses ends the transfer.
  auto calls = std::make_shared<int>(0);
  address = server.url("/big");
  fetchWithTimeoutToSink([calls](std::string_view) { return ++*calls < 0; }, address);
  EXPECT_EQ(*calls, 1);
}

TEST_F(FetchWithTimeoutTest, SinkHearsNothingAfterTheDeadline) {
  RawHttpServer dribbling([](RawConnection& connection) {
    connection.readRequest();
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n");
    while (connection.send("x")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  auto pieces = std::make_shared<std::atomic<int>>(0);
  std::string address = dribbling.url("/");
  EXPECT_EQ(fetchWithTimeoutToSink(
                [pieces](std::string_view) {
                  ++*pieces;
                  return true;
                },
                address, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0.3),
            fetchTimeoutMessage());
  EXPECT_GT(pieces->load(), 0);
  // A piece under way at the deadline may still land; none after it.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int atDeadline = pieces->load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(pieces->load(), atDeadline);
}

}  // namespace
}  // namespace quillet
