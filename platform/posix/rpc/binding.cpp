// Client bindings of the POSIX RPC runtime: RpcStringBindingComposeA,
// RpcBindingFromStringBindingA, RpcStringFreeA, RpcBindingFree and
// RpcBindingInqClient.
//
// Callers rely on: a string binding is checked whole when it becomes a
// handle (form, object UUID, protocol sequence, endpoint, address), so that
// a handle, once made, only waits to connect; nothing touches the network
// until the first RpcBindingInqClient, which resolves a missing endpoint
// through the mapper and connects with bounded waits. Strings and handles
// are released once; a second release, or a pointer the runtime never
// handed out, is refused rather than freed.
#include <netdb.h>
#include <signal.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <shared_mutex>

#include "platform/posix/rpc/rpc_posix.h"

namespace brindle::detail {

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr timeval kDatagramRetry = {1, 0};

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

// A call to a server that has gone away writes to a closed stream, which
// raises SIGPIPE and, at its default disposition, would end the calling
// process. Stream clients made while SIGPIPE has that disposition get a
// copy of libtirpc's operations whose call keeps SIGPIPE blocked in the
// calling thread and discards one the call raised: the call then fails
// with RPC_CANTSEND or RPC_CANTRECV, like any other broken connection. The
// two signal-mask changes cost about as much as two system calls per call;
// a program that ignores SIGPIPE (or handles it) does without them.
struct QuietOps {
  CLIENT::clnt_ops const* original;
  CLIENT::clnt_ops quiet;
};

clnt_stat QuietCall(CLIENT* client, rpcproc_t procedure, xdrproc_t encode, void* arguments, xdrproc_t decode,
                    void* results, timeval timeout) {
  // cl_ops points at `quiet`, the second member of its QuietOps.
  QuietOps const* ops = reinterpret_cast<QuietOps const*>(reinterpret_cast<char const*>(client->cl_ops) -
                                                          offsetof(QuietOps, quiet));
  sigset_t pipe, old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  clnt_stat status = ops->original->cl_call(client, procedure, encode, arguments, decode, results, timeout);
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

// The quiet copy of `original`, made once per libtirpc operations table.
CLIENT::clnt_ops* QuietOpsFor(CLIENT::clnt_ops const* original) {
  static std::mutex mutex;
  static std::vector<std::unique_ptr<QuietOps>>* tables = new std::vector<std::unique_ptr<QuietOps>>;
  std::lock_guard<std::mutex> lock(mutex);
  for (auto const& table : *tables) {
    if (table->original == original) return &table->quiet;
  }
  tables->push_back(std::unique_ptr<QuietOps>(new QuietOps{original, *original}));
  tables->back()->quiet.cl_call = QuietCall;
  return &tables->back()->quiet;
}

bool SigpipeEndsProcess() {
  struct sigaction action;
  return sigaction(SIGPIPE, nullptr, &action) == 0 && (action.sa_flags & SA_SIGINFO) == 0 &&
         action.sa_handler == SIG_DFL;
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
  CLIENT* made = datagram ? clnt_dg_create(fd, &server, iface.program, iface.version, 0, 0)
                          : clnt_vc_create(fd, &server, iface.program, iface.version, 0, 0);
  if (made == nullptr) {
    close(fd);
    return RPC_S_SERVER_UNAVAILABLE;
  }
  clnt_control(made, CLSET_FD_CLOSE, nullptr);
  if (datagram) {
    clnt_control(made, CLSET_RETRY_TIMEOUT, reinterpret_cast<char*>(const_cast<timeval*>(&kDatagramRetry)));
  } else if (SigpipeEndsProcess()) {
    try {
      made->cl_ops = QuietOpsFor(made->cl_ops);
    } catch (std::bad_alloc const&) {
      clnt_destroy(made);
      return RPC_S_OUT_OF_MEMORY;
    }
  }
  *client = made;
  return RPC_S_OK;
}

}  // namespace

Binding::~Binding() {
  for (Client& c : clients) clnt_destroy(c.client);
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

RPC_STATUS RpcBindingInqClient(RPC_BINDING_HANDLE binding, RPC_INTERFACE const* iface, CLIENT** client) {
  using namespace brindle::detail;
  if (iface == nullptr || client == nullptr) return RPC_S_INVALID_ARG;
  if (!IsLiveBinding(binding)) return RPC_S_INVALID_BINDING;
  Binding* handle = static_cast<Binding*>(binding);
  if (handle->server) return RPC_S_WRONG_KIND_OF_BINDING;
  std::lock_guard<std::mutex> lock(handle->mutex);
  for (Binding::Client const& c : handle->clients) {
    if (c.program == iface->program && c.version == iface->version) {
      *client = c.client;
      return RPC_S_OK;
    }
  }
  std::string endpoint = handle->endpoint;
  if (endpoint.empty()) {
    RPC_STATUS s = Resolve(*handle, *iface, &endpoint);
    if (s != RPC_S_OK) return s;
  }
  CLIENT* made = nullptr;
  RPC_STATUS s = Connect(*handle, *iface, endpoint, &made);
  if (s != RPC_S_OK) return s;
  try {
    handle->clients.push_back({iface->program, iface->version, made});
  } catch (std::bad_alloc const&) {
    clnt_destroy(made);
    return RPC_S_OUT_OF_MEMORY;
  }
  *client = made;
  return RPC_S_OK;
}

}  // extern "C"
