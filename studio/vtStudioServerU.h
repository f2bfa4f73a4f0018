// The studio's HTTP server: the page and its interface on 127.0.0.1, with
// every answer taken from the exchange; it never calls GL or touches the
// demo system. The transport is platform::HttpServer (its limits keep any
// local program from exhausting memory, threads or descriptors); the paths
// are the one table of vtStudioRoutesU.h.
//
// Rules, in this order, for every request (before its body is read):
//   1. Host must be 127.0.0.1:PORT or localhost:PORT, once (no DNS
//      rebinding), and an Origin header, when sent, http://127.0.0.1:PORT or
//      http://localhost:PORT, once (no other web page may drive the
//      player): 403.
//   2. "/" (the page) and every path under /api/ need the token, in the
//      X-Vortane-Token header or the token query parameter (once): 403.
//      The page's answer sets the token as an HttpOnly, SameSite=Strict
//      cookie named for the port, which opens the page again (a reload),
//      never the interface.
//   3. Unknown paths: 404; a known path with another method: 405.
//   4. POST bodies: at most kMaxBodyBytes of one JSON object with values of
//      the right type and range, else 400 with {"error": "..."}; nothing
//      is queued then.
// A refused request's connection is closed after the answer. The page's
// style and script files are served to anyone (rule 1 holds). The
// interface itself is documented in the README ("Studio").
//
// Threads: Start and Stop from one thread (the player's main thread); the
// rules and the event streams run on the transport's loop thread, the
// handlers on its workers. Stop ends every event stream, joins every thread
// the server started and closes the port; the exchange is stopped with it.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/HttpServer.h"

class vtStudioExchange;

class vtStudioServer {
 public:
  static constexpr std::size_t kMaxBodyBytes = 64 * 1024;
  static constexpr int kMaxEventStreams = 120;  // open at once; more get 503
  static constexpr int kRequestThreads = 8;     // handlers at once; streams need none
  static constexpr int kTimeEventsPerSecond = 20;
  static constexpr int kMaxWaveformColumns = 16384;

  // The transport's limits with the interface's body size, workers and
  // time events.
  static platform::HttpLimits DefaultLimits();

  explicit vtStudioServer(vtStudioExchange& exchange);
  ~vtStudioServer();  // Stop
  vtStudioServer(const vtStudioServer&) = delete;
  vtStudioServer& operator=(const vtStudioServer&) = delete;

  // Binds 127.0.0.1:port (0: any free port), draws a new token and starts
  // serving (a running server is stopped first). False with the reason in
  // error when the port cannot be bound or the system gives no random
  // bytes; nothing runs then.
  bool Start(int port, std::string& error);
  bool Start(int port, const platform::HttpLimits& limits, std::string& error);
  void Stop();
  bool Running() const { return http_.Running(); }

  int Port() const { return http_.Port(); }
  const std::string& Token() const { return token_; }
  std::string Url() const;  // http://127.0.0.1:PORT/?token=TOKEN
  int OpenEventStreams() const { return streams_.load(); }
  const platform::HttpServer& Http() const { return http_; }

 private:
  std::optional<platform::HttpAnswer> Admit(const platform::HttpRequest& request);
  platform::HttpAnswer Serve(platform::HttpRequest&& request);
  platform::HttpAnswer OpenEventStream(const platform::HttpRequest& request);
  bool FromThisPlayer(const platform::HttpRequest& request, std::string& why) const;
  std::string CookieName() const;
  platform::HttpAnswer PageWithCookie(const std::string& path) const;

  vtStudioExchange& exchange_;
  platform::HttpServer http_;
  std::string token_;
  std::atomic<int> streams_{0};
};

// 32 hexadecimal digits from the kernel's random source; false (out
// untouched) when it gives none.
bool NewStudioToken(std::string& out);
