// The studio's HTTP server: the page and its interface on 127.0.0.1, on a
// thread pool of its own (cpp-httplib), with every answer taken from the
// exchange; it never calls GL or touches the demo system.
//
// Rules, in this order, for every request:
//   1. Host must be 127.0.0.1:PORT or localhost:PORT (no DNS rebinding),
//      and an Origin header, when sent, http://127.0.0.1:PORT or
//      http://localhost:PORT (no other web page may drive the player): 403.
//   2. "/" (the page) and every path under /api/ need the token, in the
//      X-Vortane-Token header or the token query parameter: 403.
//   3. Unknown paths: 404; a known path with another method: 405.
//   4. POST bodies: at most kMaxBodyBytes of one JSON object with values of
//      the right type and range, else 400 with {"error": "..."}; nothing
//      is queued then.
// The page's style and script files are served to anyone (rule 1 holds).
// The interface itself is documented in the README ("Studio").
//
// Threads: Start and Stop from one thread (the player's main thread);
// the handlers run on the server's pool. Stop ends every event stream,
// joins every thread the server started and closes the port; the
// exchange is stopped with it.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

class vtStudioExchange;
namespace httplib {
class Server;
}

class vtStudioServer {
 public:
  static constexpr std::size_t kMaxBodyBytes = 64 * 1024;
  // Event streams open at once; more get 503. The pool has this many
  // threads more than kRequestThreads, so streams never starve requests.
  static constexpr int kMaxEventStreams = 120;
  static constexpr int kRequestThreads = 8;
  static constexpr int kTimeEventsPerSecond = 20;
  static constexpr int kMaxWaveformColumns = 16384;

  explicit vtStudioServer(vtStudioExchange& exchange);
  ~vtStudioServer();  // Stop
  vtStudioServer(const vtStudioServer&) = delete;
  vtStudioServer& operator=(const vtStudioServer&) = delete;

  // Binds 127.0.0.1:port (0: any free port), draws a new token and starts
  // serving (a running server is stopped first). False with the reason in
  // error when the port cannot be bound or the system gives no random
  // bytes; nothing runs then.
  bool Start(int port, std::string& error);
  void Stop();
  bool Running() const { return thread_.joinable(); }

  int Port() const { return port_; }
  const std::string& Token() const { return token_; }
  std::string Url() const;  // http://127.0.0.1:PORT/?token=TOKEN
  int OpenEventStreams() const { return streams_.load(); }

 private:
  void Configure();
  void AddInterface();

  vtStudioExchange& exchange_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::string token_;
  std::atomic<int> streams_{0};
  std::atomic<bool> listenEnded_{false};  // the server loop has returned
};

// 32 hexadecimal digits from the kernel's random source; false (out
// untouched) when it gives none.
bool NewStudioToken(std::string& out);
