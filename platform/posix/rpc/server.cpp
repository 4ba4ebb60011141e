// The server side of the POSIX RPC runtime: endpoints, binding vectors, the
// endpoint mapper's entries, and listening.
//
// Callers rely on: RpcServerListen with a non-zero don't-wait flag returns
// at once and the runtime serves on threads of its own; with 0 it returns
// only after RpcMgmtStopServerListening, as RpcMgmtWaitServerListen does.
// Stopping closes every endpoint at once, so calls fail without waiting out
// a timeout, and it also closes the endpoints when the process is not
// listening yet: a listen that comes after such a stop finds no endpoint and
// returns at once (1714), so a stop issued before a listen is never lost.
// Calls in progress at a stop run to their end, and the blocking listen and
// RpcMgmtWaitServerListen return only after them.
// The mapper is touched only by RpcEpRegisterA and RpcEpUnregister, and the
// latter removes only entries this process made that still name its
// endpoints.
//
// libtirpc's server state (svc_reg, xprt_register, svc_run) is global to
// the process and built for one thread: the runtime uses none of it. It
// reads and writes its own sockets, non-blocking, from a pool of threads
// waiting on one epoll set (one event goes to one thread, which serves the
// call itself, see dispatch.cpp). A stalled client holds no thread: a
// partial record waits in its connection's buffer, within the limits of
// connection_limits.cpp; a datagram call is run at most once (see
// request_cache.cpp).
#include <dirent.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "platform/posix/rpc/rpc_posix.h"

namespace brindle::detail {

namespace {

constexpr std::size_t kMaxDatagram = 65536;
constexpr std::size_t kReadChunk = 65536;
constexpr int kReplyTimeoutMs = 2000;  // a client that will not take its reply loses its connection
constexpr int kSweepMs = 1000;         // how often idle connections are looked for

// --- Socket paths removed at exit ----------------------------------------------

struct PathJanitor {
  std::mutex mutex;
  std::vector<std::string> paths;
};

// Never destroyed: endpoints may close while the process exits.
PathJanitor& janitor() {
  static PathJanitor* j = [] {
    PathJanitor* made = new PathJanitor;
    std::atexit([] {
      PathJanitor& self = janitor();
      std::lock_guard<std::mutex> lock(self.mutex);
      for (std::string const& path : self.paths) unlink(path.c_str());
      self.paths.clear();
    });
    return made;
  }();
  return *j;
}

// --- Endpoints and connections -------------------------------------------------------

struct Source {
  enum class Kind { kWake, kEndpoint, kConnection };
  explicit Source(Kind k) : kind(k) {}
  Kind const kind;
};

Source wake_source(Source::Kind::kWake);

// A socket that takes calls: a listening stream socket or a datagram socket.
struct Endpoint : Source {
  Endpoint() : Source(Kind::kEndpoint) {}
  Endpoint(Endpoint const&) = delete;
  Endpoint& operator=(Endpoint const&) = delete;
  ~Endpoint() { Close(); }

  // Closes the socket (and removes its path) once; the fd is only used under
  // `io`, so that it is never used after closing, nor its number reused.
  void Close() {
    std::lock_guard<std::mutex> lock(io);
    if (closed) return;
    closed = true;
    close(fd);
    if (!path.empty()) {
      unlink(path.c_str());
      std::lock_guard<std::mutex> lock(janitor().mutex);
      auto& paths = janitor().paths;
      paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    }
  }

  Protseq protseq = Protseq::kTcp;
  int fd = -1;
  std::string endpoint;  // port number, or ncalrpc socket name
  std::string uaddr;
  std::string path;
  std::unique_ptr<RequestCache> cache;  // UDP
  std::mutex io;
  bool closed = false;
};

}  // namespace

// An accepted stream connection. Its socket is shut down when it is dropped
// and closed only with the last reference, so that a reply being written
// never meets a reused descriptor.
struct Connection : Source, std::enable_shared_from_this<Connection> {
  Connection() : Source(Kind::kConnection) {}
  Connection(Connection const&) = delete;
  Connection& operator=(Connection const&) = delete;
  ~Connection() { close(fd); }

  int fd = -1;
  CallOrigin origin;  // fd, peer and, for ncalrpc, the connecting process
  // Touched only by the thread holding the connection's one-shot event,
  // under `read`: never contended, it shows the hand-over from one event's
  // thread to the next to thread checkers, which do not follow a rearm.
  std::string input;   // bytes not yet framed
  std::string record;  // the fragments of the record being assembled
  std::mutex read;
  std::mutex write;    // one reply at a time
};

namespace {

// Writes all of `data` to a non-blocking stream socket, waiting for room at
// most kReplyTimeoutMs in all.
bool SendAll(int fd, char const* data, std::size_t size) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
  }
  return true;
}

// Replies on a connection: whole records, one at a time.
class ConnectionChannel final : public ReplyChannel {
 public:
  explicit ConnectionChannel(Connection* connection) : connection_(connection) {}
  bool Send(char const* data, std::size_t size) override {
    std::lock_guard<std::mutex> lock(connection_->write);
    if (SendAll(connection_->fd, data, size)) return true;
    shutdown(connection_->fd, SHUT_RDWR);  // its reader then drops it
    return false;
  }

 private:
  Connection* connection_;
};

// Replies to a datagram's sender, while the endpoint is open, and keeps the
// reply for the cache.
class DatagramChannel final : public ReplyChannel {
 public:
  DatagramChannel(Endpoint* endpoint, CallOrigin const& origin) : endpoint_(endpoint), origin_(origin) {}
  std::string reply;

  bool Send(char const* data, std::size_t size) override {
    reply.assign(data, size);
    std::lock_guard<std::mutex> lock(endpoint_->io);
    if (endpoint_->closed) return false;
    return sendto(endpoint_->fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT,
                  reinterpret_cast<sockaddr const*>(&origin_.peer),
                  origin_.peer_length) == static_cast<ssize_t>(size);
  }

 private:
  Endpoint* endpoint_;
  CallOrigin const& origin_;
};

// --- Listening --------------------------------------------------------------------------

// One period of listening: an epoll set over the endpoints and their
// connections, and the threads that wait on it. It lives until its last
// thread has left, so that an event never outlives what it points at.
class Session : public std::enable_shared_from_this<Session> {
 public:
  explicit Session(ServerLimits const& limits) : connections_(limits) {}
  Session(Session const&) = delete;
  Session& operator=(Session const&) = delete;
  ~Session() {
    if (epoll_fd_ >= 0) close(epoll_fd_);
    if (wake_fd_ >= 0) close(wake_fd_);
  }

  // Starts `min_threads` threads (at least one); up to `max_calls` serve at
  // once. 0 or 14.
  RPC_STATUS Start(std::vector<std::shared_ptr<Endpoint>> const& endpoints, unsigned int min_threads,
                   unsigned int max_calls) {
    max_threads_ = std::max(1u, max_calls);
    epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
    wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_fd_ < 0 || wake_fd_ < 0) return RPC_S_OUT_OF_MEMORY;
    epoll_event wake{};
    wake.events = EPOLLIN;  // level-triggered: every thread sees it
    wake.data.ptr = &wake_source;
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &wake) != 0) return RPC_S_OUT_OF_MEMORY;
    for (auto const& endpoint : endpoints) AddEndpoint(endpoint);
    unsigned int wanted = std::clamp(min_threads, 1u, max_threads_);
    for (unsigned int i = 0; i < wanted; ++i) {
      threads_.fetch_add(1);
      idle_.fetch_add(1);
      if (!Spawn()) {
        idle_.fetch_sub(1);
        if (threads_.fetch_sub(1) == 1) return RPC_S_OUT_OF_MEMORY;
        break;
      }
    }
    return RPC_S_OK;
  }

  void AddEndpoint(std::shared_ptr<Endpoint> const& endpoint) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      endpoints_.push_back(endpoint);
    }
    std::lock_guard<std::mutex> io(endpoint->io);
    if (endpoint->closed) return;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLONESHOT;
    event.data.ptr = static_cast<Source*>(endpoint.get());
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, endpoint->fd, &event);
  }

  // Closes the endpoints, cuts every connection and sends the threads home.
  // Calls being served finish on their own; their replies go nowhere.
  void Stop() {
    std::vector<std::shared_ptr<Endpoint>> endpoints;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      endpoints = endpoints_;
    }
    for (auto const& endpoint : endpoints) endpoint->Close();
    for (auto const& connection : connections_.CloseAll()) shutdown(connection->fd, SHUT_RDWR);
    std::uint64_t one = 1;
    ssize_t written = write(wake_fd_, &one, sizeof one);
    (void)written;
  }

  // Waits until every thread has left, its call done; a thread of this
  // session waits for the others only.
  void WaitDrained() {
    unsigned int self = serving_ == this ? 1 : 0;
    std::unique_lock<std::mutex> lock(mutex_);
    drained_.wait(lock, [&] { return threads_.load() <= self; });
  }

 private:
  bool Spawn() {
    try {
      std::thread([self = shared_from_this()] { self->Run(); }).detach();
      return true;
    } catch (std::system_error const&) {
      return false;
    }
  }

  void Run() {
    serving_ = this;
    for (;;) {
      epoll_event event;
      int n = epoll_wait(epoll_fd_, &event, 1, kSweepMs);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      Sweep();
      if (n == 0) continue;
      Source* source = static_cast<Source*>(event.data.ptr);
      if (source->kind == Source::Kind::kWake) break;
      if (idle_.fetch_sub(1) == 1) Grow();  // keep one thread waiting while below the limit
      if (source->kind == Source::Kind::kEndpoint) {
        HandleEndpoint(static_cast<Endpoint*>(source));
      } else {
        HandleConnection(static_cast<Connection*>(source));
      }
      idle_.fetch_add(1);
    }
    idle_.fetch_sub(1);
    serving_ = nullptr;
    if (threads_.fetch_sub(1) == 1) {
      std::lock_guard<std::mutex> lock(mutex_);
      drained_.notify_all();
    }
  }

  void Grow() {
    unsigned int count = threads_.load();
    while (count < max_threads_ && !stopping_.load()) {
      if (!threads_.compare_exchange_weak(count, count + 1)) continue;
      idle_.fetch_add(1);
      if (!Spawn()) {
        idle_.fetch_sub(1);
        threads_.fetch_sub(1);
      }
      return;
    }
  }

  // Once a period, by whichever thread comes first: connections idle too
  // long are shut down, and their readers then drop them.
  void Sweep() {
    std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch()).count();
    std::int64_t due = next_sweep_.load();
    if (now < due || !next_sweep_.compare_exchange_strong(due, now + kSweepMs)) return;
    for (auto const& connection : connections_.Expired()) shutdown(connection->fd, SHUT_RDWR);
  }

  void Rearm(int fd, Source* source) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLONESHOT;
    event.data.ptr = source;
    epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, fd, &event);
  }

  void HandleEndpoint(Endpoint* endpoint) {
    if (endpoint->protseq == Protseq::kUdp) {
      HandleDatagram(endpoint);
      return;
    }
    std::vector<int> accepted;
    {
      std::lock_guard<std::mutex> io(endpoint->io);
      if (endpoint->closed) return;
      for (int i = 0; i < 16; ++i) {
        int fd = accept4(endpoint->fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
          accepted.push_back(fd);
          continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE) {
          // Out of descriptors: the connection idle longest makes room, and
          // the queue waits a moment rather than spin.
          if (auto idle = connections_.LongestIdle()) shutdown(idle->fd, SHUT_RDWR);
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        break;
      }
      Rearm(endpoint->fd, endpoint);
    }
    for (int fd : accepted) {
      std::shared_ptr<Connection> connection;
      try {
        connection = std::make_shared<Connection>();
      } catch (std::bad_alloc const&) {
        close(fd);
        continue;
      }
      connection->fd = fd;
      CallOrigin& origin = connection->origin;
      origin.protseq = endpoint->protseq;
      origin.fd = fd;
      origin.peer_length = sizeof origin.peer;
      getpeername(fd, reinterpret_cast<sockaddr*>(&origin.peer), &origin.peer_length);
      if (endpoint->protseq == Protseq::kTcp) {
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      } else {
        socklen_t length = sizeof origin.credentials;
        origin.verified = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &origin.credentials, &length) == 0;
      }
      std::shared_ptr<Connection> evicted;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || !connections_.Admit(connection, endpoint, &evicted)) {
          shutdown(fd, SHUT_RDWR);  // every connection of the endpoint is in a call
          continue;
        }
        epoll_event event{};
        event.events = EPOLLIN | EPOLLONESHOT;
        event.data.ptr = static_cast<Source*>(connection.get());
        epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event);
      }
      if (evicted) shutdown(evicted->fd, SHUT_RDWR);
    }
  }

  // A datagram call runs once: a retransmission finds it running (and gets
  // nothing) or finished (and gets its reply again).
  void HandleDatagram(Endpoint* endpoint) {
    thread_local std::unique_ptr<char[]> buffer(new char[kMaxDatagram]);
    CallOrigin origin;
    origin.protseq = Protseq::kUdp;
    origin.peer_length = sizeof origin.peer;
    ssize_t n;
    {
      std::lock_guard<std::mutex> io(endpoint->io);
      if (endpoint->closed) return;
      origin.fd = endpoint->fd;
      n = recvfrom(endpoint->fd, buffer.get(), kMaxDatagram, MSG_DONTWAIT,
                   reinterpret_cast<sockaddr*>(&origin.peer), &origin.peer_length);
      Rearm(endpoint->fd, endpoint);
    }
    if (n <= 0) return;
    std::size_t size = static_cast<std::size_t>(n);
    DatagramChannel channel(endpoint, origin);
    std::string key = RequestCache::KeyOf(buffer.get(), size, origin.peer, origin.peer_length);
    if (!key.empty()) {
      std::string reply;
      RequestCache::Seen seen = endpoint->cache->Begin(key, &reply);
      if (seen == RequestCache::Seen::kDone && !reply.empty()) channel.Send(reply.data(), reply.size());
      if (seen != RequestCache::Seen::kNew) return;
    }
    ServeCall(buffer.get(), size, origin, channel);
    if (!key.empty()) endpoint->cache->Finish(key, std::move(channel.reply));
  }

  // Reads what the connection has, cuts it into records (4-byte marks, the
  // top bit ending a record) and serves them. A connection whose peer has
  // closed its side is dropped once its calls are answered.
  void HandleConnection(Connection* raw) {
    std::shared_ptr<Connection> connection = raw->shared_from_this();
    thread_local std::unique_ptr<char[]> chunk(new char[kReadChunk]);
    std::unique_lock<std::mutex> reading(connection->read);
    std::string& input = connection->input;
    std::size_t const limit = connections_.record_bytes();
    bool hangup = false;
    while (input.size() < limit + kReadChunk) {  // beyond that the rest waits in the socket
      ssize_t n = recv(connection->fd, chunk.get(), kReadChunk, MSG_DONTWAIT);
      if (n > 0) {
        input.append(chunk.get(), static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < kReadChunk) break;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      hangup = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);  // end of stream or error
      break;
    }
    std::vector<std::string> records;
    std::size_t at = 0;
    bool too_large = false;
    while (input.size() - at >= 4) {
      unsigned char const* mark = reinterpret_cast<unsigned char const*>(input.data() + at);
      std::uint32_t header = (std::uint32_t{mark[0]} << 24) | (std::uint32_t{mark[1]} << 16) |
                             (std::uint32_t{mark[2]} << 8) | std::uint32_t{mark[3]};
      std::size_t length = header & 0x7FFFFFFFu;
      if (connection->record.size() + length > limit) {
        too_large = true;
        break;
      }
      if (input.size() - at - 4 < length) break;
      connection->record.append(input, at + 4, length);
      at += 4 + length;
      if ((header & 0x80000000u) != 0) {
        records.push_back(std::move(connection->record));
        connection->record.clear();
      }
    }
    input.erase(0, at);
    std::size_t held = input.size() + connection->record.size();
    reading.unlock();
    // A record too large, or more than all connections may hold together.
    if (too_large || !connections_.Hold(connection.get(), held)) {
      Drop(connection);
      return;
    }
    // A connection idle too long, or the idlest making room, is closed while
    // its peer may be sending a request: one read after that is not run, as
    // its reply could no longer be sent. Its caller sees the connection fail
    // with nothing done, rather than a call done and its answer lost.
    if (!records.empty() && !connections_.Begin(connection.get(), records.size())) {
      Drop(connection);
      return;
    }
    if (!hangup) {
      Rearm(connection->fd, connection.get());  // from here on another thread may read
    } else if (connections_.Hangup(connection.get())) {
      Drop(connection);
      return;
    }
    ConnectionChannel channel(connection.get());
    bool in_step = true;
    for (std::string& record : records) {
      if (in_step && !ServeCall(record.data(), record.size(), connection->origin, channel)) {
        in_step = false;
        shutdown(connection->fd, SHUT_RDWR);  // not a call: the stream is out of step
      }
      if (connections_.End(connection.get())) Drop(connection);
    }
  }

  void Drop(std::shared_ptr<Connection> const& connection) {
    connections_.Remove(connection.get());
    epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, connection->fd, nullptr);
    shutdown(connection->fd, SHUT_RDWR);
  }

  static thread_local Session* serving_;  // the session whose thread this is
  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  unsigned int max_threads_ = 1;
  std::atomic<unsigned int> threads_{0};
  std::atomic<unsigned int> idle_{0};  // threads waiting for an event
  std::atomic<std::int64_t> next_sweep_{0};
  std::mutex mutex_;                   // guards the fields below (stopping_ is set under it)
  std::condition_variable drained_;    // threads_ reached 0
  std::atomic<bool> stopping_{false};
  std::vector<std::shared_ptr<Endpoint>> endpoints_;
  ConnectionSet connections_;
};

thread_local Session* Session::serving_ = nullptr;

// --- The process's server state ----------------------------------------------------------

struct ServerState {
  std::mutex mutex;
  std::vector<std::shared_ptr<Endpoint>> endpoints;  // in use since the last stop
  std::shared_ptr<Session> session;                  // while listening
  std::vector<std::weak_ptr<Session>> stopped;      // their calls may still run
  std::condition_variable stop;                      // blocking listens wait here
  std::uint64_t stops = 0;
  PointerSet vectors;                     // binding vectors handed out
  std::vector<MapperEntry> registered;    // the mapper entries this process made
  std::atomic<unsigned int> next_socket{0};
};

// Never destroyed: listening threads may outlive static destruction.
ServerState& server() {
  static ServerState* s = new ServerState;
  return *s;
}

// Removes the sockets that servers killed before they could remove them
// left in `directory`: "lrpc-<pid>-<n>" of a process that is gone.
void SweepStaleSockets(std::string const& directory) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    unsigned long pid = 0, n = 0;
    char rest = 0;
    if (std::sscanf(entry->d_name, "lrpc-%lu-%lu%c", &pid, &n, &rest) != 2 || pid == 0 || pid > (1ul << 22)) {
      continue;
    }
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

// A new endpoint for `protseq` at an address of the system's choosing.
RPC_STATUS OpenEndpoint(Protseq protseq, std::shared_ptr<Endpoint>* made) {
  auto endpoint = std::make_shared<Endpoint>();
  endpoint->protseq = protseq;
  ServerLimits const limits = ReadServerLimits();
  if (protseq == Protseq::kLocal) {
    std::string directory = LocalSocketDirectory();
    if (directory.empty()) return RPC_S_CANT_CREATE_ENDPOINT;
    SweepStaleSockets(directory);
    endpoint->endpoint = "lrpc-" + Decimal(static_cast<unsigned long>(getpid())) + "-" +
                         Decimal(server().next_socket.fetch_add(1) + 1);
    std::string path = directory + "/" + endpoint->endpoint;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return RPC_S_CANT_CREATE_ENDPOINT;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return RPC_S_CANT_CREATE_ENDPOINT;
    unlink(path.c_str());  // left by an earlier process of the same id
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, SOMAXCONN) != 0) {
      close(fd);
      unlink(path.c_str());
      return RPC_S_CANT_CREATE_ENDPOINT;
    }
    {
      std::lock_guard<std::mutex> lock(janitor().mutex);
      janitor().paths.push_back(path);
    }
    endpoint->fd = fd;
    endpoint->path = path;
    endpoint->uaddr = path;
  } else {
    if (!limits.bind_address_valid) return RPC_S_INVALID_NET_ADDR;
    bool stream = protseq == Protseq::kTcp;
    int fd = socket(AF_INET, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return RPC_S_CANT_CREATE_ENDPOINT;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = limits.bind_address;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (stream && listen(fd, SOMAXCONN) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      close(fd);
      return RPC_S_CANT_CREATE_ENDPOINT;
    }
    endpoint->fd = fd;
    endpoint->endpoint = Decimal(ntohs(address.sin_port));
    endpoint->uaddr = InetUniversalAddress(address);
    if (!stream) endpoint->cache = std::make_unique<RequestCache>(limits);
  }
  *made = std::move(endpoint);
  return RPC_S_OK;
}

bool IsLiveVector(void const* vector) {
  ServerState& s = server();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.vectors.count(vector) != 0;
}

MapperEntry EntryFor(RPC_INTERFACE const& interface, Binding const& binding) {
  MapperEntry entry;
  entry.program = static_cast<std::uint32_t>(interface.program);
  entry.version = static_cast<std::uint32_t>(interface.version);
  entry.netid = NetId(binding.protseq);
  entry.uaddr = binding.uaddr;
  return entry;
}

bool SameMapping(MapperEntry const& a, MapperEntry const& b) {
  return a.program == b.program && a.version == b.version && a.netid == b.netid && a.uaddr == b.uaddr;
}

}  // namespace

}  // namespace brindle::detail

using namespace brindle::detail;

extern "C" {

RPC_STATUS RpcServerUseProtseqA(RPC_CSTR protocol_sequence, unsigned int /*max_calls*/, void* /*security*/) {
  Protseq protseq;
  RPC_STATUS s = FindProtseq(reinterpret_cast<char const*>(protocol_sequence), &protseq);
  if (s != RPC_S_OK) return s;
  ServerState& state = server();
  std::lock_guard<std::mutex> lock(state.mutex);
  for (auto const& endpoint : state.endpoints) {
    if (endpoint->protseq == protseq) return RPC_S_OK;
  }
  std::shared_ptr<Endpoint> endpoint;
  try {
    s = OpenEndpoint(protseq, &endpoint);
    if (s != RPC_S_OK) return s;
    state.endpoints.push_back(endpoint);
    if (state.session) state.session->AddEndpoint(endpoint);
  } catch (std::bad_alloc const&) {
    return RPC_S_OUT_OF_MEMORY;
  }
  return RPC_S_OK;
}

RPC_STATUS RpcServerInqBindings(RPC_BINDING_VECTOR** bindings) {
  if (bindings == nullptr) return RPC_S_INVALID_ARG;
  ServerState& state = server();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::size_t count = state.endpoints.size();
  if (count == 0) return RPC_S_NO_BINDINGS;
  std::size_t size = sizeof(RPC_BINDING_VECTOR) + (count - 1) * sizeof(RPC_BINDING_HANDLE);
  RPC_BINDING_VECTOR* vector = static_cast<RPC_BINDING_VECTOR*>(std::calloc(1, size));
  if (vector == nullptr) return RPC_S_OUT_OF_MEMORY;
  try {
    for (std::size_t i = 0; i < count; ++i) {
      Endpoint const& endpoint = *state.endpoints[i];
      std::unique_ptr<Binding> binding(new Binding);
      binding->server = true;
      binding->protseq = endpoint.protseq;
      binding->endpoint = endpoint.endpoint;
      binding->uaddr = endpoint.uaddr;
      RegisterBinding(binding.get());
      vector->BindingH[i] = binding.release();
      vector->Count = static_cast<std::uint32_t>(i + 1);
    }
    state.vectors.insert(vector);
  } catch (std::bad_alloc const&) {
    for (std::uint32_t i = 0; i < vector->Count; ++i) {
      UnregisterBinding(static_cast<Binding*>(vector->BindingH[i]));
      delete static_cast<Binding*>(vector->BindingH[i]);
    }
    std::free(vector);
    return RPC_S_OUT_OF_MEMORY;
  }
  *bindings = vector;
  return RPC_S_OK;
}

RPC_STATUS RpcBindingVectorFree(RPC_BINDING_VECTOR** bindings) {
  if (bindings == nullptr || *bindings == nullptr) return RPC_S_INVALID_ARG;
  RPC_BINDING_VECTOR* vector = *bindings;
  {
    ServerState& state = server();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.vectors.erase(vector) == 0) return RPC_S_INVALID_ARG;
  }
  for (std::uint32_t i = 0; i < vector->Count; ++i) {
    Binding* binding = static_cast<Binding*>(vector->BindingH[i]);
    if (UnregisterBinding(binding)) delete binding;
  }
  std::free(vector);
  *bindings = nullptr;
  return RPC_S_OK;
}

RPC_STATUS RpcEpRegisterA(RPC_IF_HANDLE iface, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* /*objects*/,
                          RPC_CSTR /*annotation*/) {
  RPC_INTERFACE const* interface = InterfaceOf(iface);
  if (interface == nullptr || bindings == nullptr || !IsLiveVector(bindings)) return RPC_S_INVALID_ARG;
  for (std::uint32_t i = 0; i < bindings->Count; ++i) {
    MapperEntry entry = EntryFor(*interface, *static_cast<Binding const*>(bindings->BindingH[i]));
    RPC_STATUS s = MapperSet(entry);
    if (s != RPC_S_OK) return s;
    ServerState& state = server();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto& made = state.registered;
    if (std::none_of(made.begin(), made.end(), [&](MapperEntry const& e) { return SameMapping(e, entry); })) {
      made.push_back(std::move(entry));
    }
  }
  return RPC_S_OK;
}

RPC_STATUS RpcEpUnregister(RPC_IF_HANDLE iface, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* /*objects*/) {
  RPC_INTERFACE const* interface = InterfaceOf(iface);
  if (interface == nullptr || bindings == nullptr || !IsLiveVector(bindings)) return RPC_S_INVALID_ARG;
  // Only what this process entered: a registration that never succeeded
  // needs no mapper at all.
  std::vector<MapperEntry> ours;
  {
    ServerState& state = server();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (std::uint32_t i = 0; i < bindings->Count; ++i) {
      MapperEntry entry = EntryFor(*interface, *static_cast<Binding const*>(bindings->BindingH[i]));
      auto const& made = state.registered;
      if (std::any_of(made.begin(), made.end(), [&](MapperEntry const& e) { return SameMapping(e, entry); })) {
        ours.push_back(std::move(entry));
      }
    }
  }
  if (ours.empty()) return RPC_S_OK;
  std::vector<MapperEntry> entries;
  RPC_STATUS s = MapperDump(MapperTarget{}, &entries);
  if (s != RPC_S_OK) return s;
  for (MapperEntry const& entry : ours) {
    // Only a mapping that still names this endpoint: another process may
    // have replaced it since.
    if (std::any_of(entries.begin(), entries.end(), [&](MapperEntry const& e) { return SameMapping(e, entry); })) {
      s = MapperUnset(entry.program, entry.version, entry.netid);
      if (s != RPC_S_OK) return s;
    }
    ServerState& state = server();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto& made = state.registered;
    made.erase(std::remove_if(made.begin(), made.end(), [&](MapperEntry const& e) { return SameMapping(e, entry); }),
               made.end());
  }
  return RPC_S_OK;
}

RPC_STATUS RpcServerListen(unsigned int min_call_threads, unsigned int max_calls, unsigned int dont_wait) {
  ServerState& state = server();
  std::unique_lock<std::mutex> lock(state.mutex);
  if (state.session) return RPC_S_ALREADY_LISTENING;
  if (state.endpoints.empty()) return RPC_S_NO_PROTSEQS_REGISTERED;
  std::shared_ptr<Session> session;
  try {
    session = std::make_shared<Session>(ReadServerLimits());
    // A session that could not start has no thread: dropping it releases
    // its epoll set and leaves the endpoints open for another listen.
    RPC_STATUS s = session->Start(state.endpoints, min_call_threads, max_calls);
    if (s != RPC_S_OK) return s;
    state.session = session;
  } catch (std::bad_alloc const&) {
    return RPC_S_OUT_OF_MEMORY;
  }
  if (dont_wait != 0) return RPC_S_OK;
  std::uint64_t stops = state.stops;
  state.stop.wait(lock, [&] { return state.stops != stops; });
  lock.unlock();
  session->WaitDrained();
  return RPC_S_OK;
}

RPC_STATUS RpcMgmtIsServerListening(RPC_BINDING_HANDLE binding) {
  if (binding != nullptr) return RPC_S_CANNOT_SUPPORT;
  ServerState& state = server();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.session ? RPC_S_OK : RPC_S_NOT_LISTENING;
}

// Waits for listening to stop, then for the calls still running: those of
// every stopped session.
RPC_STATUS RpcMgmtWaitServerListen() {
  ServerState& state = server();
  std::unique_lock<std::mutex> lock(state.mutex);
  bool waited = state.session != nullptr;
  if (waited) {
    std::uint64_t stops = state.stops;
    state.stop.wait(lock, [&] { return state.stops != stops; });
  }
  std::vector<std::weak_ptr<Session>> stopped = state.stopped;
  lock.unlock();
  for (auto const& weak : stopped) {
    if (std::shared_ptr<Session> session = weak.lock()) {
      session->WaitDrained();
      waited = true;
    }
  }
  return waited ? RPC_S_OK : RPC_S_NOT_LISTENING;
}

RPC_STATUS RpcMgmtStopServerListening(RPC_BINDING_HANDLE binding) {
  if (binding != nullptr) return RPC_S_CANNOT_SUPPORT;
  ServerState& state = server();
  std::shared_ptr<Session> session;
  std::vector<std::shared_ptr<Endpoint>> endpoints;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    session = std::move(state.session);
    state.session.reset();
    endpoints.swap(state.endpoints);
    std::erase_if(state.stopped, [](std::weak_ptr<Session> const& s) { return s.expired(); });
    if (session) state.stopped.push_back(session);
    ++state.stops;
  }
  if (session) session->Stop();
  for (auto const& endpoint : endpoints) endpoint->Close();
  state.stop.notify_all();
  return session ? RPC_S_OK : RPC_S_NOT_LISTENING;
}

}  // extern "C"
