// Client bindings of the POSIX RPC runtime: RpcStringBindingComposeA,
// RpcBindingFromStringBindingA, RpcStringFreeA, RpcBindingFree and
// RpcBindingInqClient.
//
// Callers rely on: a string binding is checked whole when it becomes a
// handle (form, object UUID, protocol sequence, endpoint, address), so that
// a handle, once made, only waits to connect; nothing touches the network
// until the first RpcBindingInqClient, which resolves a missing endpoint
// through the mapper and connects with bounded waits, and gives a client
// that connects again after its connection broke. Strings and handles are
// released once; a second release, or a pointer the runtime never handed
// out, is refused rather than freed.
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <shared_mutex>

#include "platform/posix/rpc/rpc_posix.h"

namespace brindle::detail {

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr long kFirstRetryMs = 1000;  // a datagram call's first resend; each later one waits twice as long
constexpr long kLastRetryMs = 8000;
constexpr u_int kDatagramSize = 65504;  // a call or reply datagram: within UDP's 65,507 bytes, a multiple of 4

// Checked on every RpcBindingInqClient: readers share the lock.
struct Registry {
  std::shared_mutex mutex;
  PointerSet bindings;
  PointerSet strings;
};

// Never destroyed: handles may be released from static destructors.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

bool IsThisHost(std::string const& address) {
  if (address.empty() || address == "localhost") return true;
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 && address == name;
}

// Resolves a TCP or UDP binding's host; false when it does not resolve.
bool ResolveHost(Binding* binding) {
  binding->inet.sin_family = AF_INET;
  if (binding->address.empty()) {
    binding->inet.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    binding->local_host = true;
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(binding->address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  std::memcpy(&binding->inet, found->ai_addr, sizeof binding->inet);
  freeaddrinfo(found);
  binding->inet.sin_port = 0;
  std::uint32_t host = ntohl(binding->inet.sin_addr.s_addr);
  binding->local_host = (host >> 24) == 127 || IsThisHost(binding->address);
  return true;
}

// The endpoint of `binding` for `iface`, from the mapper of its host.
RPC_STATUS Resolve(Binding const& binding, RPC_INTERFACE const& iface, std::string* endpoint) {
  MapperTarget target;
  target.local = binding.protseq == Protseq::kLocal || binding.local_host;
  target.host = binding.inet;
  std::vector<MapperEntry> entries;
  RPC_STATUS s = MapperDump(target, &entries);
  if (s != RPC_S_OK) return s;
  for (MapperEntry const& e : entries) {
    if (e.program != iface.program || e.version != iface.version) continue;
    if (binding.protseq == Protseq::kLocal) {
      if ((e.netid == "local" || e.netid == "unix") && !e.uaddr.empty() && e.uaddr.front() == '/') {
        *endpoint = e.uaddr;
        return RPC_S_OK;
      }
    } else if (e.netid == NetId(binding.protseq)) {
      std::uint16_t port = UniversalAddressPort(e.uaddr);
      if (port != 0) {
        *endpoint = Decimal(port);
        return RPC_S_OK;
      }
    }
  }
  return EPT_S_NOT_REGISTERED;
}

// A client for `iface` connected to `endpoint`; 0, 1722 or 14.
RPC_STATUS Connect(Binding const& binding, RPC_INTERFACE const& iface, std::string const& endpoint, CLIENT** client) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (binding.protseq == Protseq::kLocal) {
    sockaddr_un* address = reinterpret_cast<sockaddr_un*>(&storage);
    address->sun_family = AF_UNIX;
    std::string path = LocalEndpointPath(endpoint);
    if (path.empty()) return RPC_S_SERVER_UNAVAILABLE;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    length = sizeof(sockaddr_un);
  } else {
    sockaddr_in* address = reinterpret_cast<sockaddr_in*>(&storage);
    *address = binding.inet;
    address->sin_port = htons(ParsePort(endpoint));
    length = sizeof(sockaddr_in);
  }
  sockaddr* address = reinterpret_cast<sockaddr*>(&storage);
  bool datagram = binding.protseq == Protseq::kUdp;
  int fd = socket(address->sa_family, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
  if (fd < 0) return RPC_S_OUT_OF_MEMORY;
  // A connected datagram socket hears of a closed port at once, so calls to
  // a stopped server fail instead of waiting out their timeout.
  if (!ConnectWithTimeout(fd, address, length, kConnectTimeoutMs)) {
    close(fd);
    return RPC_S_SERVER_UNAVAILABLE;
  }
  netbuf server{length, length, address};
  CLIENT* made = datagram ? clnt_dg_create(fd, &server, iface.program, iface.version, kDatagramSize, kDatagramSize)
                          : clnt_vc_create(fd, &server, iface.program, iface.version, 0, 0);
  if (made == nullptr) {
    close(fd);
    return RPC_S_SERVER_UNAVAILABLE;
  }
  clnt_control(made, CLSET_FD_CLOSE, nullptr);
  *client = made;
  return RPC_S_OK;
}

// A call over a stream to a server that has gone writes to a closed
// connection, which raises SIGPIPE and, at its default disposition, would end
// the calling process. Over connections made while SIGPIPE has that
// disposition a call keeps it blocked in the calling thread and discards one
// the call raised: the call then fails with RPC_CANTSEND or RPC_CANTRECV,
// like any other broken connection. The two signal-mask changes cost about
// as much as two system calls per call; a program that ignores SIGPIPE does
// without them.
bool SigpipeEndsProcess() {
  struct sigaction action;
  return sigaction(SIGPIPE, nullptr, &action) == 0 && (action.sa_flags & SA_SIGINFO) == 0 &&
         action.sa_handler == SIG_DFL;
}

clnt_stat QuietCall(CLIENT* client, rpcproc_t procedure, xdrproc_t encode, void* arguments, xdrproc_t decode,
                    void* results, timeval timeout) {
  sigset_t pipe, old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  clnt_stat status = clnt_call(client, procedure, encode, arguments, decode, results, timeout);
  if (sigismember(&old, SIGPIPE) == 0) {
    sigset_t pending;
    if (status != RPC_SUCCESS && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
      timespec now{0, 0};
      sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }
  return status;
}

// libtirpc resends a datagram call at a fixed interval; here each resend
// waits twice as long as the one before, with the same transaction id, so
// that the server's request cache knows it for a resend: one send per
// libtirpc call, each a slice of the caller's timeout.
clnt_stat DatagramCall(CLIENT* client, rpcproc_t procedure, xdrproc_t encode, void* arguments, xdrproc_t decode,
                       void* results, timeval timeout) {
  long left = timeout.tv_sec * 1000L + timeout.tv_usec / 1000;
  long wait = kFirstRetryMs;
  u_int32_t xid = 0;
  for (bool first = true;; first = false) {
    if (!first) clnt_control(client, CLSET_XID, reinterpret_cast<char*>(&xid));
    long slice = std::max(1L, std::min(wait, left));
    timeval once = {slice / 1000, (slice % 1000) * 1000};
    clnt_control(client, CLSET_RETRY_TIMEOUT, reinterpret_cast<char*>(&once));
    clnt_stat status = clnt_call(client, procedure, encode, arguments, decode, results, once);
    if (first) clnt_control(client, CLGET_XID, reinterpret_cast<char*>(&xid));
    left -= slice;
    if (status != RPC_TIMEDOUT || left <= 0) return status;
    wait = std::min(wait * 2, kLastRetryMs);
  }
}

}  // namespace

// What RpcBindingInqClient hands out: a CLIENT of the runtime's own, valid
// for the binding's life, over a libtirpc client that is made again on the
// call after its connection broke (resolving a dynamic endpoint again). The
// call that meets a broken connection fails and is not sent again; a stream
// the server has closed in the meantime is seen before sending, and that
// call goes over a new connection.
struct ClientLink {
  CLIENT outer{};
  Binding const* binding = nullptr;
  RPC_INTERFACE iface{};
  std::mutex mutex;
  CLIENT* inner = nullptr;
  bool quiet = false;  // SIGPIPE kept blocked around calls
  rpc_err error{};
  timeval total{-1, -1};  // set by CLSET_TIMEOUT; otherwise each call's own

  ~ClientLink() {
    if (inner != nullptr) clnt_destroy(inner);
  }
};

namespace {

ClientLink* LinkOf(CLIENT* client) { return static_cast<ClientLink*>(client->cl_private); }

// Whether the server has closed the link's stream (or it failed).
bool StreamClosed(CLIENT* client) {
  int fd = -1;
  if (!clnt_control(client, CLGET_FD, reinterpret_cast<char*>(&fd))) return true;
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  char byte;
  return (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0 || recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

// Connects the link, resolving a missing endpoint: 0, 1753, 1899, 1722 or 14.
RPC_STATUS Open(ClientLink* link) {
  std::string endpoint;
  {
    std::lock_guard<std::mutex> lock(link->binding->endpoint_mutex);
    endpoint = link->binding->endpoint;
  }
  RPC_STATUS s = endpoint.empty() ? Resolve(*link->binding, link->iface, &endpoint) : RPC_S_OK;
  if (s == RPC_S_OK) s = Connect(*link->binding, link->iface, endpoint, &link->inner);
  link->quiet = s == RPC_S_OK && link->binding->protseq != Protseq::kUdp && SigpipeEndsProcess();
  return s;
}

// Connects the link again, with a client status for the call that needs it.
clnt_stat Reconnect(ClientLink* link) {
  RPC_STATUS s = Open(link);
  if (s == RPC_S_OK) return RPC_SUCCESS;
  return s == EPT_S_NOT_REGISTERED ? RPC_PROGNOTREGISTERED
         : s == EPT_S_CANT_CREATE  ? RPC_PMAPFAILURE
         : s == RPC_S_OUT_OF_MEMORY ? RPC_SYSTEMERROR
                                    : RPC_CANTSEND;
}

clnt_stat LinkCall(CLIENT* outer, rpcproc_t procedure, xdrproc_t encode, void* arguments, xdrproc_t decode,
                   void* results, timeval timeout) {
  ClientLink* link = LinkOf(outer);
  std::lock_guard<std::mutex> lock(link->mutex);
  bool datagram = link->binding->protseq == Protseq::kUdp;
  if (link->inner != nullptr && !datagram && StreamClosed(link->inner)) {
    clnt_destroy(link->inner);
    link->inner = nullptr;
  }
  link->error = rpc_err{};
  if (link->inner == nullptr && (link->error.re_status = Reconnect(link)) != RPC_SUCCESS) return link->error.re_status;
  link->inner->cl_auth = outer->cl_auth;
  if (link->total.tv_usec != -1) timeout = link->total;
  clnt_stat status = datagram     ? DatagramCall(link->inner, procedure, encode, arguments, decode, results, timeout)
                     : link->quiet ? QuietCall(link->inner, procedure, encode, arguments, decode, results, timeout)
                                   : clnt_call(link->inner, procedure, encode, arguments, decode, results, timeout);
  clnt_geterr(link->inner, &link->error);
  bool broken = status == RPC_CANTSEND || status == RPC_CANTRECV || (datagram && status == RPC_TIMEDOUT);
  if (broken) {  // reported; the next call connects again
    clnt_destroy(link->inner);
    link->inner = nullptr;
  }
  return status;
}

void LinkAbort(CLIENT*) {}

void LinkGetErr(CLIENT* outer, rpc_err* error) {
  ClientLink* link = LinkOf(outer);
  std::lock_guard<std::mutex> lock(link->mutex);
  *error = link->error;
}

bool_t LinkFreeRes(CLIENT*, xdrproc_t proc, void* results) {
  xdr_free(proc, results);
  return TRUE;
}

void LinkDestroy(CLIENT*) {}  // the binding's: released with it

bool_t LinkControl(CLIENT* outer, u_int request, void* info) {
  ClientLink* link = LinkOf(outer);
  std::lock_guard<std::mutex> lock(link->mutex);
  if (request == CLSET_TIMEOUT && info != nullptr) {
    link->total = *static_cast<timeval*>(info);
    return TRUE;
  }
  if (request == CLGET_TIMEOUT && info != nullptr && link->total.tv_usec != -1) {
    *static_cast<timeval*>(info) = link->total;
    return TRUE;
  }
  if (link->inner == nullptr && Reconnect(link) != RPC_SUCCESS) return FALSE;
  return clnt_control(link->inner, request, static_cast<char*>(info));
}

CLIENT::clnt_ops link_ops = {LinkCall, LinkAbort, LinkGetErr, LinkFreeRes, LinkDestroy, LinkControl};

}  // namespace

Binding::~Binding() {
  for (ClientLink* link : clients) delete link;
}

void RegisterBinding(Binding* binding) {
  std::lock_guard<std::shared_mutex> lock(registry().mutex);
  registry().bindings.insert(binding);
}

bool UnregisterBinding(Binding* binding) {
  std::lock_guard<std::shared_mutex> lock(registry().mutex);
  return registry().bindings.erase(binding) != 0;
}

bool IsLiveBinding(void const* handle) {
  std::shared_lock<std::shared_mutex> lock(registry().mutex);
  return registry().bindings.count(handle) != 0;
}

}  // namespace brindle::detail

using brindle::detail::Binding;

extern "C" {

RPC_STATUS RpcStringBindingComposeA(RPC_CSTR object_uuid, RPC_CSTR protocol_sequence, RPC_CSTR network_address,
                                    RPC_CSTR endpoint, RPC_CSTR options, RPC_CSTR* string_binding) {
  if (string_binding == nullptr) return RPC_S_INVALID_ARG;
  auto text = [](RPC_CSTR p) { return reinterpret_cast<char const*>(p); };
  std::string composed;
  RPC_STATUS s = brindle::detail::ComposeStringBinding(text(object_uuid), text(protocol_sequence),
                                                       text(network_address), text(endpoint), text(options),
                                                       &composed);
  if (s != RPC_S_OK) return s;
  char* copy = strdup(composed.c_str());
  if (copy == nullptr) return RPC_S_OUT_OF_MEMORY;
  {
    auto& r = brindle::detail::registry();
    std::lock_guard<std::shared_mutex> lock(r.mutex);
    r.strings.insert(copy);
  }
  *string_binding = reinterpret_cast<RPC_CSTR>(copy);
  return RPC_S_OK;
}

RPC_STATUS RpcStringFreeA(RPC_CSTR* text) {
  if (text == nullptr) return RPC_S_INVALID_ARG;
  if (*text == nullptr) return RPC_S_OK;
  {
    auto& r = brindle::detail::registry();
    std::lock_guard<std::shared_mutex> lock(r.mutex);
    if (r.strings.erase(*text) == 0) return RPC_S_INVALID_ARG;
  }
  std::free(*text);
  *text = nullptr;
  return RPC_S_OK;
}

RPC_STATUS RpcBindingFromStringBindingA(RPC_CSTR string_binding, RPC_BINDING_HANDLE* binding) {
  using namespace brindle::detail;
  if (string_binding == nullptr || binding == nullptr) return RPC_S_INVALID_ARG;
  StringBindingParts parts;
  RPC_STATUS s = ParseStringBinding(reinterpret_cast<char const*>(string_binding), &parts);
  if (s != RPC_S_OK) return s;
  if (!parts.object_uuid.empty() && !IsUuidText(parts.object_uuid)) return RPC_S_INVALID_STRING_UUID;
  Protseq protseq;
  s = FindProtseq(parts.protseq.c_str(), &protseq);
  if (s != RPC_S_OK) return s;
  if (!parts.endpoint.empty()) {
    bool valid = protseq == Protseq::kLocal ? !LocalEndpointPath(parts.endpoint).empty()
                                            : ParsePort(parts.endpoint) != 0;
    if (!valid) return RPC_S_INVALID_ENDPOINT_FORMAT;
  }
  Binding* made = new (std::nothrow) Binding;
  if (made == nullptr) return RPC_S_OUT_OF_MEMORY;
  made->protseq = protseq;
  made->object_uuid = std::move(parts.object_uuid);
  made->address = std::move(parts.address);
  made->endpoint = std::move(parts.endpoint);
  made->options = std::move(parts.options);
  bool resolved = protseq == Protseq::kLocal ? IsThisHost(made->address) : ResolveHost(made);
  if (!resolved) {
    delete made;
    return RPC_S_INVALID_NET_ADDR;
  }
  made->local_host = made->local_host || protseq == Protseq::kLocal;
  RegisterBinding(made);
  *binding = made;
  return RPC_S_OK;
}

RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* binding) {
  if (binding == nullptr) return RPC_S_INVALID_ARG;
  Binding* handle = static_cast<Binding*>(*binding);
  if (handle == nullptr || !brindle::detail::UnregisterBinding(handle)) return RPC_S_INVALID_BINDING;
  delete handle;
  *binding = nullptr;
  return RPC_S_OK;
}

RPC_STATUS RpcEpResolveBinding(RPC_BINDING_HANDLE binding, RPC_IF_HANDLE iface) {
  using namespace brindle::detail;
  if (iface == nullptr) return RPC_S_INVALID_ARG;
  if (!IsLiveBinding(binding)) return RPC_S_INVALID_BINDING;
  Binding* handle = static_cast<Binding*>(binding);
  if (handle->server) return RPC_S_WRONG_KIND_OF_BINDING;
  {
    std::lock_guard<std::mutex> lock(handle->endpoint_mutex);
    if (!handle->endpoint.empty()) return RPC_S_OK;  // fully bound: the mapper is not asked
  }
  std::string endpoint;
  RPC_STATUS s = Resolve(*handle, *static_cast<RPC_INTERFACE const*>(iface), &endpoint);
  if (s != RPC_S_OK) return s;
  std::lock_guard<std::mutex> lock(handle->endpoint_mutex);
  if (handle->endpoint.empty()) handle->endpoint = std::move(endpoint);
  return RPC_S_OK;
}

RPC_STATUS RpcBindingInqClient(RPC_BINDING_HANDLE binding, RPC_INTERFACE const* iface, CLIENT** client) {
  using namespace brindle::detail;
  if (iface == nullptr || client == nullptr) return RPC_S_INVALID_ARG;
  if (!IsLiveBinding(binding)) return RPC_S_INVALID_BINDING;
  Binding* handle = static_cast<Binding*>(binding);
  if (handle->server) return RPC_S_WRONG_KIND_OF_BINDING;
  std::lock_guard<std::mutex> lock(handle->mutex);
  for (ClientLink* link : handle->clients) {
    if (link->iface.program == iface->program && link->iface.version == iface->version) {
      *client = &link->outer;
      return RPC_S_OK;
    }
  }
  std::unique_ptr<ClientLink> link(new (std::nothrow) ClientLink);
  if (link == nullptr) return RPC_S_OUT_OF_MEMORY;
  link->binding = handle;
  link->iface = {iface->program, iface->version, nullptr};
  RPC_STATUS s = Open(link.get());
  if (s != RPC_S_OK) return s;
  link->outer.cl_auth = link->inner->cl_auth;
  link->outer.cl_ops = &link_ops;
  link->outer.cl_private = link.get();
  try {
    handle->clients.push_back(link.get());
  } catch (std::bad_alloc const&) {
    return RPC_S_OUT_OF_MEMORY;
  }
  *client = &link.release()->outer;
  return RPC_S_OK;
}

}  // extern "C"
