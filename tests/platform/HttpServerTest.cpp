// The transport's own rules with a small service of its own, on limits
// small enough to reach: the deadline of a whole request, a full queue, a
// handler that throws, Stop while requests wait. The attacks on the
// studio against the real player are in tests/e2e/studio_attacks.py.
#include "platform/HttpServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

// What the server sends until it closes the connection or limit passes;
// closed says which.
std::string Receive(int fd, std::chrono::milliseconds limit, bool& closed) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + limit;
  closed = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return text;
    char buffer[4096];
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
      closed = true;
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

class HttpServerTest : public ::testing::Test {
 protected:
  void Start(const platform::HttpLimits& limits) {
    platform::HttpService service;
    service.Admit = [](const platform::HttpRequest&) { return std::nullopt; };
    service.Serve = [this](platform::HttpRequest&& request) {
      if (request.Path == "/throw") throw std::runtime_error("handler failed");
      if (request.Path == "/wait") {
        ++waiting_;
        while (!release_) std::this_thread::sleep_for(1ms);
      }
      platform::HttpAnswer answer;
      answer.Body = "{}";
      return answer;
    };
    service.Refuse = [](int status, const std::string& why) {
      platform::HttpAnswer answer;
      answer.Status = status;
      answer.Body = why;
      return answer;
    };
    std::string error;
    ASSERT_TRUE(server_.Start("127.0.0.1", 0, limits, std::move(service), error)) << error;
  }
  void TearDown() override {
    release_ = true;
    server_.Stop();
  }
  std::string Ask(const std::string& path) {
    const int fd = Connect(server_.Port());
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    bool closed = false;
    const std::string reply = Receive(fd, 20s, closed);
    close(fd);
    return reply.substr(0, 12);
  }

  platform::HttpServer server_;
  std::atomic<bool> release_{false};
  std::atomic<int> waiting_{0};  // requests inside Serve
};

TEST_F(HttpServerTest, ATricklingRequestIsCutAtItsDeadline) {
  platform::HttpLimits limits;
  limits.RequestTime = 1s;
  Start(limits);
  const int fd = Connect(server_.Port());
  const std::string request = "GET / HTTP/1.1\r\nHost: x\r\n";
  const auto start = std::chrono::steady_clock::now();
  bool closed = false;
  for (std::size_t i = 0; i < 100 && !closed; ++i) {  // a byte every 100 ms: the idle timeout never comes
    if (send(fd, &request[i % request.size()], 1, MSG_NOSIGNAL) != 1) break;
    Receive(fd, 100ms, closed);
  }
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 900ms);
  EXPECT_LT(took, 5s) << "still open after 5 s of a 1 s deadline";
  close(fd);
}

TEST_F(HttpServerTest, AThrowingHandlerAndAFullQueueAreRefusals) {
  platform::HttpLimits limits;
  limits.Workers = 1;
  limits.QueuedRequests = 1;
  Start(limits);
  EXPECT_EQ(Ask("/throw"), "HTTP/1.1 500");
  EXPECT_EQ(Ask("/"), "HTTP/1.1 200") << "the worker lives on";
  std::thread busy([&] { Ask("/wait"); });  // holds the worker
  while (waiting_ == 0) std::this_thread::sleep_for(1ms);
  std::thread queued([&] { Ask("/wait"); });  // fills the queue
  while (server_.OpenConnections() < 2) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);  // its request has come in
  EXPECT_EQ(Ask("/"), "HTTP/1.1 503");
  release_ = true;
  busy.join();
  queued.join();
}

// Stop with a request waiting in Serve and another in the queue: both
// connections close, nothing waits for an answer.
TEST_F(HttpServerTest, StopClosesWaitingRequests) {
  platform::HttpLimits limits;
  limits.Workers = 1;
  Start(limits);
  int fds[2];
  for (int& fd : fds) {
    fd = Connect(server_.Port());
    const std::string request = "GET /wait HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  }
  while (waiting_ == 0 || server_.OpenConnections() < 2) std::this_thread::sleep_for(1ms);
  std::thread stopper([&] { server_.Stop(); });
  std::this_thread::sleep_for(20ms);
  release_ = true;  // the handler returns once asked to
  stopper.join();
  for (int fd : fds) {
    bool closed = false;
    EXPECT_EQ(Receive(fd, 5s, closed), "");
    EXPECT_TRUE(closed);
    close(fd);
  }
}

}  // namespace
