// Internals shared by the POSIX remote procedure call runtime's sources.
// Not installed.
#ifndef BRINDLE_PLATFORM_POSIX_RPC_RPC_POSIX_H
#define BRINDLE_PLATFORM_POSIX_RPC_RPC_POSIX_H

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The platform header first: libtirpc then keeps its TRUE and FALSE.
#include "platform/rpc_runtime.h"
// clang-format off
#include "brindle/rpc_runtime.h"
// clang-format on

namespace brindle::detail {

// The runtime's containers take types of its own as parameters, so that
// their template code stays hidden inside the library rather than joining
// its exported surface.
struct PointerHash {
  std::size_t operator()(void const* pointer) const noexcept;
};
typedef std::unordered_set<void const*, PointerHash> PointerSet;

// `value` in decimal.
std::string Decimal(unsigned long value);

// An XDR routine as libtirpc's xdrproc_t (cast through a plain function
// pointer type, which converts to any other without complaint).
template <typename Routine>
xdrproc_t XdrRoutine(Routine routine) {
  return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

// The interface description behind the runtime's untyped handle.
inline RPC_INTERFACE const* InterfaceOf(RPC_IF_HANDLE iface) { return static_cast<RPC_INTERFACE const*>(iface); }

enum class Protseq { kTcp, kUdp, kLocal };

// The protocol sequence named by `text`: 0, 1704 (empty, null or unknown)
// or 1703 (known, not carried here).
RPC_STATUS FindProtseq(char const* text, Protseq* protseq);

// The transport's name in the endpoint mapper ("tcp", "udp", "local").
char const* NetId(Protseq protseq);

struct StringBindingParts {
  std::string object_uuid;
  std::string protseq;
  std::string address;
  std::string endpoint;
  std::string options;
};

// "uuid@protseq:address[endpoint,options]" from its parts (null or empty
// parts left out). 1704 for a null protocol sequence; 1700 when a part holds
// a character that would end it early, so that the result would not read
// back into the same parts.
RPC_STATUS ComposeStringBinding(char const* object_uuid, char const* protseq, char const* address,
                                char const* endpoint, char const* options, std::string* binding);

// The parts of a string binding; 1700 when it is malformed.
RPC_STATUS ParseStringBinding(std::string_view binding, StringBindingParts* parts);

// Whether `text` is a UUID in its 8-4-4-4-12 hexadecimal form.
bool IsUuidText(std::string_view text);

// The port of a TCP or UDP endpoint text (decimal 1-65535), or 0.
std::uint16_t ParsePort(std::string_view endpoint);

// The socket path of an ncalrpc endpoint (a name in the per-user directory,
// or an absolute path), or empty when the text is not a valid endpoint.
std::string LocalEndpointPath(std::string_view endpoint);

// The per-user directory of ncalrpc sockets, created (mode 0700) when
// missing; empty when it cannot be made or is not the caller's own.
std::string LocalSocketDirectory();

struct ClientLink;  // a CLIENT handed out for a binding (binding.cpp)

// A binding handle. Client bindings come from a string binding and make
// calls; server bindings describe one of this process's endpoints.
struct Binding {
  Protseq protseq = Protseq::kTcp;
  bool server = false;
  std::string object_uuid, address, endpoint, options;
  mutable std::mutex endpoint_mutex;  // guards endpoint, which RpcEpResolveBinding may fill in
  sockaddr_in inet{};           // the resolved host (TCP, UDP), port not set
  bool local_host = false;      // the address names this machine
  std::string uaddr;            // server bindings: the mapper's universal address

  std::mutex mutex;                // guards clients
  std::vector<ClientLink*> clients;  // one per program and version, owned

  ~Binding();
};

// The live-handle registry: handles are checked before use, so that a
// released or foreign handle is refused rather than followed.
void RegisterBinding(Binding* binding);
bool UnregisterBinding(Binding* binding);  // false when not live
bool IsLiveBinding(void const* handle);

// --- Serving calls (dispatch.cpp) -------------------------------------------

// Where a call came from.
struct CallOrigin {
  Protseq protseq = Protseq::kTcp;
  int fd = -1;
  sockaddr_storage peer{};
  socklen_t peer_length = 0;
  bool verified = false;  // ncalrpc: the kernel's record of the connecting process
  ucred credentials{};
};

// Where a call's reply goes: bytes ready for the wire (a marked record on a
// stream, a datagram otherwise). False when they could not be sent.
class ReplyChannel {
 public:
  virtual bool Send(char const* data, std::size_t size) = 0;

 protected:
  ~ReplyChannel() = default;
};

// Decodes one call message and hands it to its interface's dispatch routine
// (or answers the error itself), replying through `channel`. False when the
// bytes are not a call message at all.
bool ServeCall(char* data, std::size_t size, CallOrigin const& origin, ReplyChannel& channel);

// --- Limits of the server (connection_limits.cpp, request_cache.cpp) --------

// Read from the environment when an endpoint opens or listening starts; see
// brindle/rpc_runtime.h for the variables and their defaults.
struct ServerLimits {
  in_addr bind_address{};         // TCP and UDP endpoints
  std::size_t record_bytes;       // one call record, and one connection's incomplete one
  std::size_t buffered_bytes;     // incomplete records over all connections
  std::size_t connections;        // per endpoint
  std::chrono::seconds idle;      // a connection without a call in progress
  std::size_t cache_entries;      // finished datagram calls remembered
  std::chrono::seconds cache_age;
  bool bind_address_valid = true;
};
ServerLimits ReadServerLimits();

struct Connection;  // an accepted stream connection (server.cpp)

// The stream connections of one listening period, held to the limits. A
// connection to be closed is only marked and handed back: the caller shuts
// its socket down, and the thread that then reads the end of the stream
// removes it, so nothing frees a connection another thread is reading.
class ConnectionSet {
 public:
  explicit ConnectionSet(ServerLimits const& limits) : limits_(limits) {}

  // Takes in a connection of `endpoint`. When the endpoint is full, the
  // connection of it idle longest goes to *evicted; with none idle, false:
  // the new one is refused.
  bool Admit(std::shared_ptr<Connection> const& connection, void const* endpoint,
             std::shared_ptr<Connection>* evicted);
  std::shared_ptr<Connection> LongestIdle();  // of any endpoint; null if none
  // `bytes` of an incomplete record now held; false when all connections
  // together hold more than their limit.
  bool Hold(Connection const* connection, std::size_t bytes);
  // `calls` complete records read; false when the connection is already
  // closing, so that they are not run: their replies could not be sent.
  bool Begin(Connection const* connection, std::size_t calls);
  // A call ended; true when the connection is to go now (its peer has
  // closed its side and nothing is left to answer).
  bool End(Connection const* connection);
  bool Hangup(Connection const* connection);  // true when nothing is left to answer
  void Remove(Connection const* connection);
  std::vector<std::shared_ptr<Connection>> Expired();  // idle too long
  std::vector<std::shared_ptr<Connection>> CloseAll();  // every connection, marked closing
  std::size_t record_bytes() const { return limits_.record_bytes; }

 private:
  struct Use {
    std::shared_ptr<Connection> connection;
    void const* endpoint;
    std::size_t held = 0;
    std::size_t calls = 0;
    bool hangup = false;
    bool closing = false;
    std::chrono::steady_clock::time_point last;
  };
  typedef std::unordered_map<void const*, Use, PointerHash> Uses;
  std::shared_ptr<Connection> Evict(void const* endpoint);  // under mutex_

  ServerLimits const limits_;
  std::mutex mutex_;
  Uses uses_;
  std::size_t held_ = 0;
};

// At-most-once execution of datagram calls: a call is known by its caller's
// address, transaction id, program, version and procedure. Finished calls
// are remembered with their reply, the oldest forgotten first beyond the
// entry or age limit; calls in progress are held by their threads and so
// bounded by them.
class RequestCache {
 public:
  enum class Seen { kNew, kRunning, kDone };
  explicit RequestCache(ServerLimits const& limits) : entries_(limits.cache_entries), age_(limits.cache_age) {}
  // The key of a call datagram, or empty when it is not one.
  static std::string KeyOf(char const* data, std::size_t size, sockaddr_storage const& peer, socklen_t length);
  // kNew marks the call running; kDone gives its reply (empty: none sent).
  Seen Begin(std::string const& key, std::string* reply);
  void Finish(std::string const& key, std::string reply);

 private:
  struct Entry {
    bool done = false;
    std::string reply;
    std::chrono::steady_clock::time_point finished;
  };
  struct Finished {  // a type of the runtime's own: the deque's code stays hidden in the library
    std::string key;
  };
  void Forget(std::chrono::steady_clock::time_point now);  // under mutex_

  std::size_t const entries_;
  std::chrono::seconds const age_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> calls_;
  std::deque<Finished> finished_;  // oldest first
};

// --- The endpoint mapper ---------------------------------------------------

struct MapperEntry {
  std::uint32_t program = 0;
  std::uint32_t version = 0;
  std::string netid;
  std::string uaddr;
  std::string owner;
};

// Which mapper to ask: this machine's (BRINDLE_RPC_ENDPOINT_MAPPER or
// rpcbind's own socket), or the one at port 111 of `host`.
struct MapperTarget {
  bool local = true;
  sockaddr_in host{};
};

// Every mapping the mapper holds. 0 or 1899.
RPC_STATUS MapperDump(MapperTarget const& target, std::vector<MapperEntry>* entries);
// Sets or removes a mapping at this machine's mapper. 0, or 1899 when the
// mapper is unreachable, times out or answers no.
RPC_STATUS MapperSet(MapperEntry const& entry);
RPC_STATUS MapperUnset(std::uint32_t program, std::uint32_t version, std::string const& netid);

// Universal addresses: "h1.h2.h3.h4.p1.p2" for IPv4; the path for AF_UNIX.
std::string InetUniversalAddress(sockaddr_in const& address);
std::uint16_t UniversalAddressPort(std::string_view uaddr);  // 0 when malformed

// Connects `fd` to `address`, waiting at most `timeout_ms`; the socket is
// left in blocking mode. False with errno set on failure.
bool ConnectWithTimeout(int fd, sockaddr const* address, socklen_t length, int timeout_ms);

}  // namespace brindle::detail

#endif  // BRINDLE_PLATFORM_POSIX_RPC_RPC_POSIX_H
