// An HTTP/1.1 server on one loopback address, made to stay up when any
// local program sends it whatever it likes (libmicrohttpd underneath; why
// that library is in HttpServer.cpp).
//
// Every request passes the limits (HttpLimits) while its headers come in.
// Then the application's Admit looks at it, body not yet read: it may
// answer at once (a refusal, a constant page, a stream) or let the body
// be read and Serve answer it on a worker thread. A body over BodyBytes is
// read to its end, kept nowhere, and refused (413). An answer with a
// status of 400 or more closes its connection: what the client sent after
// it is never read as another request.
//
// Threads: Start, Stop and the accessors from one thread (the owner's).
// The server runs one thread of its own for every connection (an event
// loop: idle and slow clients cost no thread) and Workers threads for
// Serve. Admit, HttpStream::Next and Refuse run on the loop thread and must
// not block; Serve runs on a worker and may wait (Stop waits for it, so
// whatever it waits on must end when the owner stops).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace platform {

// What one server lets its clients use. A "client" is a peer address; on
// loopback every local program is 127.0.0.1 unless it binds another
// 127.x.y.z address, so ConnectionsPerClient is what one program gets and
// Connections what all of them get together.
struct HttpLimits {
  // Connections beyond either cap are closed as soon as they are accepted.
  // Start lowers both, if need be, so that kReservedDescriptors of the
  // process's descriptor limit stay free for the rest of the program (it
  // first raises its soft limit towards the hard one to make room).
  unsigned ConnectionsPerClient = 1024;
  unsigned Connections = 1280;
  std::size_t RequestLineBytes = 8 * 1024;  // method, path with query, version
  unsigned Headers = 64;
  std::size_t HeaderBytes = 32 * 1024;  // request line and headers together
  std::size_t BodyBytes = 64 * 1024;
  // A connection has this long to bring a whole request, counted from its
  // opening or from the end of its previous answer, and as long to take an
  // answer; past it the connection is closed (an idle connection too).
  // The time Serve takes and an open stream do not count.
  std::chrono::seconds RequestTime{10};
  unsigned Workers = 8;            // requests Serve answers at once
  unsigned QueuedRequests = 256;   // waiting for a worker; more get 503
  // How often an open stream is asked for more.
  std::chrono::milliseconds StreamInterval{50};
};

// Descriptors of the process that no server's connections may take.
constexpr unsigned kReservedDescriptors = 256;

struct HttpRequest {
  std::string Method;  // as sent: "GET", "HEAD", "POST", ...
  std::string Path;    // decoded, without the query
  std::vector<std::pair<std::string, std::string>> Query;    // decoded, in order
  std::vector<std::pair<std::string, std::string>> Headers;  // names in lower case, in order
  std::string Body;
  std::string Peer;  // the client's address, "127.0.0.1"

  // The header (name in lower case) or query parameter when it appears
  // exactly once; nullptr when it is missing or repeated.
  const std::string* Header(std::string_view name) const;
  const std::string* Param(std::string_view name) const;
  std::size_t HeaderCount(std::string_view name) const;
};

// An answer whose body is produced while it is sent (chunked), for as long
// as the stream lasts. Destroyed on the loop thread once its connection
// is done with it (the client left, the stream ended, or Stop).
class HttpStream {
 public:
  virtual ~HttpStream() = default;
  // Appends what is to be sent now to out (nothing: asked again after
  // StreamInterval). False ends the stream after out is sent. Loop thread;
  // must not block.
  virtual bool Next(std::string& out) = 0;
};

struct HttpAnswer {
  int Status = 200;
  std::string ContentType = "application/json";
  std::string Body;
  // Instead of Body: bytes that outlive the server, sent without a copy.
  std::string_view ConstantBody;
  std::vector<std::pair<std::string, std::string>> Headers;
  std::unique_ptr<HttpStream> Stream;  // set: the body is this stream's
};

// The application: the routes behind the server.
struct HttpService {
  // A request whose headers have come: the answer to send at once, or
  // nothing to have its body read and Serve called. Loop thread.
  std::function<std::optional<HttpAnswer>(const HttpRequest&)> Admit;
  // The answer to a whole request. A worker thread.
  std::function<HttpAnswer(HttpRequest&&)> Serve;
  // The answer for a refusal the server makes itself: 413 (a body over
  // BodyBytes), 414 and 431 (a request line or headers over their limits),
  // 503 (every worker busy and the queue full). Loop thread.
  std::function<HttpAnswer(int status, const std::string& why)> Refuse;
};

class HttpServer {
 public:
  HttpServer();
  ~HttpServer();  // Stop
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on address:port (port 0: any free one; "127.0.0.1") and starts
  // serving (a running server is stopped first). False with the reason in
  // error when the socket cannot be bound; nothing runs then. The socket
  // is never shared with another process (no SO_REUSEPORT).
  bool Start(const std::string& address, int port, const HttpLimits& limits, HttpService service,
             std::string& error);
  // Ends every stream, closes every connection and the socket, and joins
  // every thread the server started, after the workers' current Serve
  // calls return (their answers are dropped). Does nothing when stopped.
  void Stop();
  bool Running() const;

  int Port() const { return port_; }
  // The limits in force: those given to Start, the caps lowered as said.
  const HttpLimits& Limits() const { return limits_; }
  int OpenConnections() const;

 private:
  struct Loop;
  std::unique_ptr<Loop> loop_;
  HttpLimits limits_;
  int port_ = 0;
};

}  // namespace platform
