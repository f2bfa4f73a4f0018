// Why libmicrohttpd, and what is ours on top of it.
//
// The studio's server ran on cpp-httplib until local programs attacked it.
// That library gives every connection a thread of a fixed pool for as long
// as the connection lasts, applies Range headers to every answer before any
// handler runs, reads request lines and headers without a bound, and bounds
// a request only by the time between two reads. So 128 slow or idle
// clients starved every request, 2,700 ranges made a 45 MB answer out of a
// 15 KB file, a never-ending header line grew the player by hundreds of
// megabytes, and a client sending one byte every half second kept the
// player alive after Escape. Guards of our own around it would have had to
// replace its connection handling (the pool, the reading of requests, the
// ranges): a second HTTP server inside the first.
//
// libmicrohttpd (Debian's libmicrohttpd12) was written for hostile input:
// one event loop serves every connection (an idle or trickling client costs
// a few hundred bytes, no thread); each connection's request line and
// headers live in a fixed memory pool (HeaderBytes), and a request that
// overflows it is answered and closed; it never applies ranges; it closes
// a connection whose answer was queued before its body was read. What it
// lacks is ours, here:
//   - a deadline for a whole request (its idle timeout is reset by every
//     byte of a trickling client): connections past RequestTime are shut
//     down from the loop;
//   - caps per client and in all, checked when a connection is accepted
//     (the library's own cap stops accepting instead of refusing), below
//     the descriptor limit;
//   - limits on the request line and the number of headers;
//   - Admit before the body is read, and "Connection: close" on every
//     refusal, so a refused request's body is never taken for a request;
//   - the workers for handlers that wait (the loop never blocks), and
//     streams asked for their text on a timer.
// The library runs in "external" mode: our thread polls its epoll
// descriptor and an eventfd, so every call into the library is made on that
// one thread, and handing answers back from the workers needs no lock
// inside the library.
#include "platform/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/Memory.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kBacklog = 256;                     // a page and its tools connecting at once
constexpr milliseconds kReapInterval{250};        // how often deadlines are checked
constexpr milliseconds kStopDrain{300};           // streams' last chunks on Stop
constexpr std::size_t kStreamBlockBytes = 8 * 1024;
constexpr unsigned kTrimAfterConnections = 64;    // a crowd this large gone: the heap is trimmed

const std::string* FindOnce(const std::vector<std::pair<std::string, std::string>>& list, std::string_view name) {
  const std::string* found = nullptr;
  for (const auto& [key, value] : list) {
    if (key != name) continue;
    if (found) return nullptr;
    found = &value;
  }
  return found;
}

std::string Lower(const char* text, std::size_t size) {
  std::string out(text, size);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string PeerAddress(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address && address->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  else if (address && address->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
  return text;
}

// The soft descriptor limit, first raised towards the hard one so that
// wanted descriptors fit.
rlim_t DescriptorLimit(rlim_t wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < wanted && limit.rlim_cur != RLIM_INFINITY) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur;
}

// The caps lowered to leave kReservedDescriptors free (half the limit when
// it is smaller than twice that).
void FitCaps(HttpLimits& limits) {
  const rlim_t limit = DescriptorLimit(limits.Connections + kReservedDescriptors);
  const rlim_t room = limit > 2 * kReservedDescriptors ? limit - kReservedDescriptors : limit / 2;
  limits.Connections = static_cast<unsigned>(std::min<rlim_t>(limits.Connections, room));
  limits.ConnectionsPerClient = std::min(limits.ConnectionsPerClient, limits.Connections);
}

// A bound, non-blocking listening socket; -1 with the reason in error.
int Listen(const std::string& address, int& port, std::string& error) {
  const std::string where = "cannot listen on " + address + ":" + std::to_string(port);
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(static_cast<std::uint16_t>(port));
  if (port < 0 || port > 65535 || inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
    error = where + " (not an IPv4 address and port)";
    return -1;
  }
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int yes = 1;
  socklen_t size = sizeof socketAddress;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress) != 0 || listen(fd, kBacklog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&socketAddress), &size) != 0) {
    error = where + " (" + std::strerror(errno) + ")";
    if (fd >= 0) close(fd);
    return -1;
  }
  port = ntohs(socketAddress.sin_port);
  return fd;
}

}  // namespace

const std::string* HttpRequest::Header(std::string_view name) const { return FindOnce(Headers, name); }
const std::string* HttpRequest::Param(std::string_view name) const { return FindOnce(Query, name); }
std::size_t HttpRequest::HeaderCount(std::string_view name) const {
  return static_cast<std::size_t>(
      std::count_if(Headers.begin(), Headers.end(), [&](const auto& header) { return header.first == name; }));
}

// ------------------------------------------------------------ the loop

struct HttpServer::Loop {
  // Where a connection stands; Reading and Answering have a deadline.
  enum class Phase { Reading, Working, Answering, Streaming };

  struct Connection {
    MHD_Connection* Handle = nullptr;
    int Socket = -1;
    std::string Peer;
    Phase Now = Phase::Reading;
    Clock::time_point Deadline;
    bool ShutDown = false;
    std::size_t UriBytes = 0;   // the request line's target, as sent
    HttpRequest Request;        // the request in progress
    bool Oversized = false;     // its body is over the limit (and dropped)
    std::uint64_t JobId = 0;    // its number at the workers; 0: none
    bool Suspended = false;     // while a worker answers it
    std::optional<HttpAnswer> Answer;  // the worker's answer, to be sent
  };

  struct Stream {
    Loop* Owner = nullptr;
    MHD_Connection* Handle = nullptr;
    std::unique_ptr<HttpStream> Source;
    std::string Pending;
    std::size_t Sent = 0;
    bool Ended = false;
    bool Suspended = false;
  };

  struct Job {
    std::uint64_t Id;
    HttpRequest Request;
  };
  struct Done {
    std::uint64_t Id;
    std::optional<HttpAnswer> Answer;  // none: Serve threw
  };

  Loop(const HttpLimits& limits, HttpService service) : Limits(limits), Service(std::move(service)) {}

  // ---- owner thread
  bool Start(int listenSocket, std::string& error);
  void Stop();

  // ---- loop thread
  void Run();
  int WaitMs(Clock::time_point now, Clock::time_point nextTick, Clock::time_point nextReap) const;
  bool TakeAnswers();    // true when it resumed a connection
  bool ResumeStreams();  // the same
  void Reap(Clock::time_point now);
  void Shutdown();
  void Wake();

  MHD_Result Begin(Connection& connection, const char* url, const char* method, const char* version);
  MHD_Result Finish(Connection& connection);
  MHD_Result Send(Connection& connection, HttpAnswer answer);
  bool Enqueue(Connection& connection);
  static Connection* ConnectionOf(MHD_Connection* handle);

  // ---- the library's callbacks (loop thread)
  static MHD_Result AcceptPolicy(void* cls, const sockaddr* address, socklen_t);
  static void NotifyConnection(void* cls, MHD_Connection* handle, void** context, MHD_ConnectionNotificationCode code);
  static void* LogUri(void* cls, const char* uri, MHD_Connection* handle);
  static MHD_Result Access(void* cls, MHD_Connection* handle, const char* url, const char* method,
                           const char* version, const char* data, std::size_t* size, void** requestContext);
  static void Completed(void* cls, MHD_Connection* handle, void** requestContext, MHD_RequestTerminationCode);
  static ssize_t ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t max);
  static void FreeStream(void* cls);

  // ---- workers
  void Work();

  const HttpLimits Limits;
  const HttpService Service;
  MHD_Daemon* Daemon = nullptr;
  int WakeFd = -1;
  std::thread Thread;
  std::vector<std::thread> Workers;
  std::atomic<bool> Stopping{false};
  std::atomic<int> Open{0};

  // Loop thread only.
  std::unordered_set<Connection*> Connections;
  std::unordered_map<std::string, unsigned> PerClient;
  std::unordered_set<Stream*> Streams;
  std::unordered_map<std::uint64_t, Connection*> Pending;  // by job
  std::uint64_t LastJob = 0;
  unsigned Crowd = 0;  // the most connections since the heap was last trimmed

  // Guards Jobs, Finished and Closing (between the loop and the workers).
  std::mutex Mutex;
  std::condition_variable JobReady;
  std::deque<Job> Jobs;
  std::vector<Done> Finished;
  bool Closing = false;
};

bool HttpServer::Loop::Start(int listenSocket, std::string& error) {
  WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (WakeFd < 0) {
    error = std::string("cannot start the server (") + std::strerror(errno) + ")";
    close(listenSocket);
    return false;
  }
  // The library's own cap lies above ours: ours refuses, it never has to.
  Daemon = MHD_start_daemon(
      MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, &AcceptPolicy, this, &Access, this,  //
      MHD_OPTION_LISTEN_SOCKET, listenSocket,                                           //
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, Limits.HeaderBytes,                           //
      MHD_OPTION_CONNECTION_LIMIT, Limits.Connections + 1,                              //
      MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(Limits.RequestTime.count()),  //
      MHD_OPTION_NOTIFY_CONNECTION, &NotifyConnection, this,                            //
      MHD_OPTION_NOTIFY_COMPLETED, &Completed, this,                                    //
      MHD_OPTION_URI_LOG_CALLBACK, &LogUri, this,                                       //
      MHD_OPTION_END);
  if (!Daemon) {
    error = "cannot start the server";
    close(listenSocket);
    close(WakeFd);
    return false;
  }
  for (unsigned i = 0; i < std::max(1u, Limits.Workers); ++i) Workers.emplace_back([this] { Work(); });
  Thread = std::thread([this] { Run(); });
  return true;
}

void HttpServer::Loop::Stop() {
  Stopping = true;
  Wake();
  Thread.join();  // the loop has stopped the library: every connection is closed
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Closing = true;
    Jobs.clear();
  }
  JobReady.notify_all();
  for (std::thread& worker : Workers) worker.join();
  close(WakeFd);
}

void HttpServer::Loop::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(WakeFd, &one, sizeof one);
}

void HttpServer::Loop::Run() {
  const int epoll = MHD_get_daemon_info(Daemon, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
  Clock::time_point nextTick = Clock::now() + Limits.StreamInterval, nextReap = Clock::now() + kReapInterval;
  while (!Stopping) {
    pollfd fds[2] = {{epoll, POLLIN, 0}, {WakeFd, POLLIN, 0}};
    poll(fds, 2, WaitMs(Clock::now(), nextTick, nextReap));
    if (fds[1].revents) {
      std::uint64_t count;
      [[maybe_unused]] const ssize_t read = ::read(WakeFd, &count, sizeof count);
    }
    MHD_run(Daemon);
    bool resumed = TakeAnswers();
    const Clock::time_point now = Clock::now();
    if (now >= nextTick) {
      resumed = ResumeStreams() || resumed;
      nextTick = now + Limits.StreamInterval;
    }
    if (now >= nextReap) {
      Reap(now);
      nextReap = now + kReapInterval;
    }
    // The library takes up resumed connections in its next run.
    if (resumed) MHD_run(Daemon);
  }
  Shutdown();
}

int HttpServer::Loop::WaitMs(Clock::time_point now, Clock::time_point nextTick, Clock::time_point nextReap) const {
  Clock::time_point until = now + milliseconds(1000);
  if (!Streams.empty()) until = std::min(until, nextTick);
  if (!Connections.empty()) until = std::min(until, nextReap);
  MHD_UNSIGNED_LONG_LONG libraryMs = 0;
  if (MHD_get_timeout(Daemon, &libraryMs) == MHD_YES) until = std::min(until, now + milliseconds(libraryMs));
  return static_cast<int>(std::max<long long>(0, std::chrono::duration_cast<milliseconds>(until - now).count()));
}

// The workers' answers go to their connections, which the library then
// hands back to Access.
bool HttpServer::Loop::TakeAnswers() {
  std::vector<Done> finished;
  {
    std::lock_guard<std::mutex> lock(Mutex);
    finished.swap(Finished);
  }
  bool resumed = false;
  for (Done& done : finished) {
    const auto it = Pending.find(done.Id);
    if (it == Pending.end()) continue;  // its client has gone
    Connection& connection = *it->second;
    Pending.erase(it);
    connection.Answer = done.Answer ? std::move(*done.Answer) : Service.Refuse(500, "server error");
    connection.Suspended = false;
    MHD_resume_connection(connection.Handle);
    resumed = true;
  }
  return resumed;
}

bool HttpServer::Loop::ResumeStreams() {
  bool resumed = false;
  for (Stream* stream : Streams) {
    if (!stream->Suspended) continue;
    stream->Suspended = false;
    MHD_resume_connection(stream->Handle);
    resumed = true;
  }
  return resumed;
}

// Connections past their deadline are shut down; the library sees the end
// of the socket and closes it (and only it: the descriptor stays its own).
void HttpServer::Loop::Reap(Clock::time_point now) {
  for (Connection* connection : Connections) {
    const bool timed = connection->Now == Phase::Reading || connection->Now == Phase::Answering;
    if (!timed || connection->ShutDown || now < connection->Deadline) continue;
    shutdown(connection->Socket, SHUT_RDWR);
    connection->ShutDown = true;
  }
  // A crowd has gone (the page's own few connections may stay): what its
  // connections held goes back to the system.
  if (Crowd >= kTrimAfterConnections && Connections.size() * 8 < Crowd) {
    ReturnFreeMemory();
    Crowd = static_cast<unsigned>(Connections.size());
  }
}

// Every suspended connection is resumed (the library must not stop with
// one): waiting requests are closed, streams end with their last chunk.
void HttpServer::Loop::Shutdown() {
  for (auto& [id, connection] : Pending) {
    if (!connection->Suspended) continue;
    connection->Suspended = false;
    MHD_resume_connection(connection->Handle);
  }
  ResumeStreams();
  const Clock::time_point until = Clock::now() + kStopDrain;
  const int epoll = MHD_get_daemon_info(Daemon, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
  do {
    MHD_run(Daemon);
    pollfd fd = {epoll, POLLIN, 0};
    if (!Streams.empty()) poll(&fd, 1, 10);
  } while (!Streams.empty() && Clock::now() < until);
  MHD_run(Daemon);  // the last resumptions are taken
  MHD_stop_daemon(Daemon);
  Daemon = nullptr;
}

// ------------------------------------------------------------ requests

HttpServer::Loop::Connection* HttpServer::Loop::ConnectionOf(MHD_Connection* handle) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info ? static_cast<Connection*>(info->socket_context) : nullptr;
}

MHD_Result HttpServer::Loop::AcceptPolicy(void* cls, const sockaddr* address, socklen_t) {
  Loop& loop = *static_cast<Loop*>(cls);
  if (loop.Stopping || loop.Connections.size() >= loop.Limits.Connections) return MHD_NO;
  const auto it = loop.PerClient.find(PeerAddress(address));
  return it != loop.PerClient.end() && it->second >= loop.Limits.ConnectionsPerClient ? MHD_NO : MHD_YES;
}

void HttpServer::Loop::NotifyConnection(void* cls, MHD_Connection* handle, void** context,
                                        MHD_ConnectionNotificationCode code) {
  Loop& loop = *static_cast<Loop*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    auto* connection = new Connection;
    connection->Handle = handle;
    connection->Socket = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
    connection->Peer = PeerAddress(MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CLIENT_ADDRESS)->client_addr);
    connection->Deadline = Clock::now() + loop.Limits.RequestTime;
    loop.Connections.insert(connection);
    ++loop.PerClient[connection->Peer];
    loop.Crowd = std::max(loop.Crowd, static_cast<unsigned>(loop.Connections.size()));
    ++loop.Open;
    *context = connection;
    return;
  }
  auto* connection = static_cast<Connection*>(*context);
  if (!connection) return;
  if (--loop.PerClient[connection->Peer] == 0) loop.PerClient.erase(connection->Peer);
  if (connection->JobId) loop.Pending.erase(connection->JobId);
  loop.Connections.erase(connection);
  --loop.Open;
  delete connection;
  *context = nullptr;
}

void* HttpServer::Loop::LogUri(void*, const char* uri, MHD_Connection* handle) {
  if (Connection* connection = ConnectionOf(handle)) connection->UriBytes = std::strlen(uri);
  return nullptr;
}

MHD_Result HttpServer::Loop::Access(void* cls, MHD_Connection* handle, const char* url, const char* method,
                                    const char* version, const char* data, std::size_t* size,
                                    void** requestContext) {
  Loop& loop = *static_cast<Loop*>(cls);
  Connection* connection = ConnectionOf(handle);
  if (!connection) return MHD_NO;
  if (!*requestContext) {
    *requestContext = connection;
    return loop.Begin(*connection, url, method, version);
  }
  if (*size == 0) return loop.Finish(*connection);
  // A body over the limit is read to its end and dropped: the answer can
  // only come after it (the deadline bounds how long that may take).
  std::string& body = connection->Request.Body;
  if (!connection->Oversized && body.size() + *size > loop.Limits.BodyBytes) {
    connection->Oversized = true;
    std::string().swap(body);
  }
  if (!connection->Oversized) body.append(data, *size);
  *size = 0;
  return MHD_YES;
}

void HttpServer::Loop::Completed(void* cls, MHD_Connection* handle, void**, MHD_RequestTerminationCode) {
  Loop& loop = *static_cast<Loop*>(cls);
  Connection* connection = ConnectionOf(handle);
  if (!connection) return;
  connection->Now = Phase::Reading;
  connection->Deadline = Clock::now() + loop.Limits.RequestTime;
}

// The headers have come: the limits, then Admit.
MHD_Result HttpServer::Loop::Begin(Connection& connection, const char* url, const char* method,
                                   const char* version) {
  HttpRequest& request = connection.Request;
  request = HttpRequest();
  request.Method = method;
  request.Path = url;
  request.Peer = connection.Peer;
  connection.Answer.reset();
  connection.Oversized = false;
  const auto collect = [](void* list, MHD_ValueKind kind, const char* key, std::size_t keySize, const char* value,
                          std::size_t valueSize) {
    auto& into = *static_cast<std::vector<std::pair<std::string, std::string>>*>(list);
    into.emplace_back(kind == MHD_HEADER_KIND ? Lower(key, keySize) : std::string(key, keySize),
                      value ? std::string(value, valueSize) : std::string());
    return MHD_YES;
  };
  MHD_get_connection_values_n(connection.Handle, MHD_HEADER_KIND, collect, &request.Headers);
  MHD_get_connection_values_n(connection.Handle, MHD_GET_ARGUMENT_KIND, collect, &request.Query);

  const std::size_t lineBytes = std::strlen(method) + connection.UriBytes + std::strlen(version) + 2;
  if (lineBytes > Limits.RequestLineBytes)
    return Send(connection, Service.Refuse(414, "the request line is longer than " +
                                                    std::to_string(Limits.RequestLineBytes) + " bytes"));
  const MHD_ConnectionInfo* headerSize =
      MHD_get_connection_info(connection.Handle, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
  if (request.Headers.size() > Limits.Headers || (headerSize && headerSize->header_size > Limits.HeaderBytes))
    return Send(connection, Service.Refuse(431, "more than " + std::to_string(Limits.Headers) + " headers or " +
                                                    std::to_string(Limits.HeaderBytes) + " bytes of them"));
  std::optional<HttpAnswer> answer;
  try {
    answer = Service.Admit(request);
  } catch (...) {
    return MHD_NO;  // nothing may unwind through the library
  }
  if (answer) return Send(connection, std::move(*answer));
  const std::string* length = request.Header("content-length");
  connection.Oversized = length && std::strtoull(length->c_str(), nullptr, 10) > Limits.BodyBytes;
  return MHD_YES;
}

// The whole request is in: to a worker, or (back from it) its answer out.
MHD_Result HttpServer::Loop::Finish(Connection& connection) {
  if (connection.Answer) {
    HttpAnswer answer = std::move(*connection.Answer);
    connection.Answer.reset();
    connection.JobId = 0;
    return Send(connection, std::move(answer));
  }
  if (connection.JobId != 0 || Stopping) return MHD_NO;  // resumed by Stop: closed unanswered
  if (connection.Oversized)
    return Send(connection, Service.Refuse(413, "the body is larger than " + std::to_string(Limits.BodyBytes) +
                                                    " bytes"));
  if (!Enqueue(connection)) return Send(connection, Service.Refuse(503, "the server is busy"));
  connection.Now = Phase::Working;
  connection.Suspended = true;
  MHD_suspend_connection(connection.Handle);
  return MHD_YES;
}

bool HttpServer::Loop::Enqueue(Connection& connection) {
  {
    std::lock_guard<std::mutex> lock(Mutex);
    if (Jobs.size() >= Limits.QueuedRequests) return false;
    connection.JobId = ++LastJob;
    Jobs.push_back({connection.JobId, std::move(connection.Request)});
  }
  Pending[connection.JobId] = &connection;
  JobReady.notify_one();
  return true;
}

MHD_Result HttpServer::Loop::Send(Connection& connection, HttpAnswer answer) {
  MHD_Response* response = nullptr;
  if (answer.Stream) {
    auto* stream = new Stream;
    stream->Owner = this;
    stream->Handle = connection.Handle;
    stream->Source = std::move(answer.Stream);
    response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlockBytes, &ReadStream, stream,
                                                 &FreeStream);
    if (!response) {
      delete stream;
      return MHD_NO;
    }
    Streams.insert(stream);
  } else if (!answer.ConstantBody.empty()) {
    response = MHD_create_response_from_buffer(answer.ConstantBody.size(),
                                               const_cast<char*>(answer.ConstantBody.data()),
                                               MHD_RESPMEM_PERSISTENT);
  } else {
    response = MHD_create_response_from_buffer(answer.Body.size(), answer.Body.data(), MHD_RESPMEM_MUST_COPY);
  }
  if (!response) return MHD_NO;
  MHD_add_response_header(response, "Content-Type", answer.ContentType.c_str());
  for (const auto& [name, value] : answer.Headers) MHD_add_response_header(response, name.c_str(), value.c_str());
  // A refused request's connection is never used again: whatever follows
  // on it (say, a body left unread) is not read as a request.
  if (answer.Status >= 400) MHD_add_response_header(response, "Connection", "close");
  connection.Now = answer.Stream ? Phase::Streaming : Phase::Answering;
  connection.Deadline = Clock::now() + Limits.RequestTime;
  const MHD_Result queued = MHD_queue_response(connection.Handle, static_cast<unsigned>(answer.Status), response);
  MHD_destroy_response(response);
  return queued;
}

// ------------------------------------------------------------ streams

ssize_t HttpServer::Loop::ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t max) {
  Stream& stream = *static_cast<Stream*>(cls);
  if (stream.Sent == stream.Pending.size()) {
    stream.Pending.clear();
    stream.Sent = 0;
    if (stream.Ended || stream.Owner->Stopping) return MHD_CONTENT_READER_END_OF_STREAM;
    try {
      stream.Ended = !stream.Source->Next(stream.Pending);
    } catch (...) {
      return MHD_CONTENT_READER_END_WITH_ERROR;  // nothing may unwind through the library
    }
    if (stream.Pending.empty()) {
      if (stream.Ended) return MHD_CONTENT_READER_END_OF_STREAM;
      stream.Suspended = true;  // until the next tick
      MHD_suspend_connection(stream.Handle);
      return 0;
    }
  }
  const std::size_t count = std::min(max, stream.Pending.size() - stream.Sent);
  std::memcpy(buffer, stream.Pending.data() + stream.Sent, count);
  stream.Sent += count;
  return static_cast<ssize_t>(count);
}

void HttpServer::Loop::FreeStream(void* cls) {
  auto* stream = static_cast<Stream*>(cls);
  stream->Owner->Streams.erase(stream);
  delete stream;
}

// ------------------------------------------------------------ workers

void HttpServer::Loop::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(Mutex);
      JobReady.wait(lock, [&] { return Closing || !Jobs.empty(); });
      if (Closing) return;
      job = std::move(Jobs.front());
      Jobs.pop_front();
    }
    Done done{job.Id, std::nullopt};
    try {
      done.Answer = Service.Serve(std::move(job.Request));
    } catch (...) {
      done.Answer.reset();  // answered with a 500 by the loop
    }
    {
      std::lock_guard<std::mutex> lock(Mutex);
      Finished.push_back(std::move(done));
    }
    Wake();
  }
}

// ------------------------------------------------------------ the server

HttpServer::HttpServer() = default;
HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(const std::string& address, int port, const HttpLimits& limits, HttpService service,
                       std::string& error) {
  Stop();
  limits_ = limits;
  FitCaps(limits_);
  const int listenSocket = Listen(address, port, error);
  if (listenSocket < 0) return false;
  port_ = port;  // before the loop starts: Admit may ask for it
  auto loop = std::make_unique<Loop>(limits_, std::move(service));
  if (!loop->Start(listenSocket, error)) {
    port_ = 0;
    return false;
  }
  loop_ = std::move(loop);
  return true;
}

void HttpServer::Stop() {
  if (!loop_) return;
  loop_->Stop();
  loop_.reset();
}

bool HttpServer::Running() const { return loop_ != nullptr; }

int HttpServer::OpenConnections() const { return loop_ ? loop_->Open.load() : 0; }

}  // namespace platform
