// The endpoint mapper of the POSIX RPC runtime: rpcbind, spoken to directly.
//
// Callers rely on: every exchange ends within about three seconds (a
// one-second connect, a two-second call), whether the mapper answers, hangs
// or is not there; an unreachable, silent or refusing mapper gives 1899.
// libtirpc's own rpcb_set/rpcb_unset/rpcb_getaddr are not used: they wait a
// minute on a hung rpcbind and report a timeout as a refusal.
// Registering replaces a mapping of the same program, version and transport;
// unregistering removes a mapping only when its address is the caller's.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/posix/rpc/rpc_posix.h"

#include <rpc/rpcb_prot.h>  // after rpc/rpc.h, which it needs

namespace brindle::detail {

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr timeval kCallTimeout = {2, 0};
constexpr std::uint16_t kMapperPort = 111;

// A mapper client, destroyed (and its socket closed) on leaving scope.
class MapperClient {
 public:
  explicit MapperClient(CLIENT* client) : client_(client) {}
  MapperClient(MapperClient const&) = delete;
  MapperClient& operator=(MapperClient const&) = delete;
  ~MapperClient() {
    if (client_ != nullptr) clnt_destroy(client_);
  }
  CLIENT* get() const { return client_; }

 private:
  CLIENT* client_;
};

CLIENT* OpenAt(sockaddr const* address, socklen_t length) {
  int fd = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  if (!ConnectWithTimeout(fd, address, length, kConnectTimeoutMs)) {
    close(fd);
    return nullptr;
  }
  netbuf server{length, length, const_cast<sockaddr*>(address)};
  CLIENT* client = clnt_vc_create(fd, &server, RPCBPROG, RPCBVERS, 0, 0);
  if (client == nullptr) {
    close(fd);
    return nullptr;
  }
  clnt_control(client, CLSET_FD_CLOSE, nullptr);
  return client;
}

CLIENT* OpenUnix(char const* path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) return nullptr;
  std::strcpy(address.sun_path, path);
  return OpenAt(reinterpret_cast<sockaddr*>(&address), sizeof address);
}

CLIENT* OpenInet(sockaddr_in address) { return OpenAt(reinterpret_cast<sockaddr*>(&address), sizeof address); }

// "host:port" (TCP) or an absolute AF_UNIX path.
CLIENT* OpenConfigured(std::string const& where) {
  if (!where.empty() && where.front() == '/') return OpenUnix(where.c_str());
  std::size_t colon = where.rfind(':');
  if (colon == std::string::npos) return nullptr;
  std::uint16_t port = ParsePort(std::string_view(where).substr(colon + 1));
  if (port == 0) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(where.substr(0, colon).c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return nullptr;
  sockaddr_in address;
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  address.sin_port = htons(port);
  return OpenInet(address);
}

CLIENT* OpenMapper(MapperTarget const& target) {
  if (!target.local) {
    sockaddr_in address = target.host;
    address.sin_port = htons(kMapperPort);
    return OpenInet(address);
  }
  char const* configured = std::getenv("BRINDLE_RPC_ENDPOINT_MAPPER");
  if (configured != nullptr && *configured != '\0') return OpenConfigured(configured);
  if (CLIENT* client = OpenUnix(_PATH_RPCBINDSOCK)) return client;
  sockaddr_in loopback{};
  loopback.sin_family = AF_INET;
  loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  loopback.sin_port = htons(kMapperPort);
  return OpenInet(loopback);
}

// One SET or UNSET at this machine's mapper: 0 when it answered yes, 1
// when it answered no, 1899 when there was no answer.
RPC_STATUS SetOrUnset(rpcproc_t procedure, MapperEntry const& entry) {
  MapperClient mapper(OpenMapper(MapperTarget{}));
  if (mapper.get() == nullptr) return EPT_S_CANT_CREATE;
  std::string owner = Decimal(geteuid());  // rpcbind records its own view
  rpcb mapping{entry.program, entry.version, const_cast<char*>(entry.netid.c_str()),
               const_cast<char*>(entry.uaddr.c_str()), owner.data()};
  bool_t answer = FALSE;
  if (clnt_call(mapper.get(), procedure, XdrRoutine(xdr_rpcb), reinterpret_cast<char*>(&mapping),
                XdrRoutine(xdr_bool), reinterpret_cast<char*>(&answer), kCallTimeout) != RPC_SUCCESS) {
    return EPT_S_CANT_CREATE;
  }
  return answer ? RPC_S_OK : 1;
}

}  // namespace

bool ConnectWithTimeout(int fd, sockaddr const* address, socklen_t length, int timeout_ms) {
  if (address->sa_family == AF_UNIX) {
    // A full backlog makes a non-blocking AF_UNIX connect fail outright
    // rather than complete later; a blocking one honours the send timeout.
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    int rc;
    do {
      rc = connect(fd, address, length);
    } while (rc != 0 && errno == EINTR);
    timeval none{0, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none);
    return rc == 0;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
  if (connect(fd, address, length) != 0) {
    if (errno != EINPROGRESS) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        errno = ETIMEDOUT;
        return false;
      }
      pollfd p{fd, POLLOUT, 0};
      int ready = poll(&p, 1, static_cast<int>(left.count()));
      if (ready > 0) break;
      if (ready < 0 && errno != EINTR) return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return false;
    if (error != 0) {
      errno = error;
      return false;
    }
  }
  return fcntl(fd, F_SETFL, flags) == 0;
}

std::string InetUniversalAddress(sockaddr_in const& address) {
  std::uint32_t host = ntohl(address.sin_addr.s_addr);
  std::uint16_t port = ntohs(address.sin_port);
  return Decimal(host >> 24) + "." + Decimal((host >> 16) & 0xFFu) + "." + Decimal((host >> 8) & 0xFFu) + "." +
         Decimal(host & 0xFFu) + "." + Decimal(port >> 8u) + "." + Decimal(port & 0xFFu);
}

std::uint16_t UniversalAddressPort(std::string_view uaddr) {
  std::size_t low_dot = uaddr.rfind('.');
  if (low_dot == std::string_view::npos || low_dot == 0) return 0;
  std::size_t high_dot = uaddr.rfind('.', low_dot - 1);
  if (high_dot == std::string_view::npos) return 0;
  auto number = [](std::string_view text) -> int {
    if (text.empty() || text.size() > 3) return -1;
    int value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return -1;
      value = value * 10 + (c - '0');
    }
    return value <= 255 ? value : -1;
  };
  int high = number(uaddr.substr(high_dot + 1, low_dot - high_dot - 1));
  int low = number(uaddr.substr(low_dot + 1));
  if (high < 0 || low < 0) return 0;
  return static_cast<std::uint16_t>((high << 8) | low);
}

RPC_STATUS MapperDump(MapperTarget const& target, std::vector<MapperEntry>* entries) {
  MapperClient mapper(OpenMapper(target));
  if (mapper.get() == nullptr) return EPT_S_CANT_CREATE;
  rpcblist* list = nullptr;
  if (clnt_call(mapper.get(), RPCBPROC_DUMP, XdrRoutine(xdr_void), nullptr,
                XdrRoutine(xdr_rpcblist_ptr), reinterpret_cast<char*>(&list),
                kCallTimeout) != RPC_SUCCESS) {
    xdr_free(XdrRoutine(xdr_rpcblist_ptr), &list);
    return EPT_S_CANT_CREATE;
  }
  entries->clear();
  for (rpcblist* item = list; item != nullptr; item = item->rpcb_next) {
    rpcb const& map = item->rpcb_map;
    entries->push_back({static_cast<std::uint32_t>(map.r_prog), static_cast<std::uint32_t>(map.r_vers),
                        map.r_netid != nullptr ? map.r_netid : "", map.r_addr != nullptr ? map.r_addr : "",
                        map.r_owner != nullptr ? map.r_owner : ""});
  }
  xdr_free(XdrRoutine(xdr_rpcblist_ptr), &list);
  return RPC_S_OK;
}

RPC_STATUS MapperSet(MapperEntry const& entry) {
  RPC_STATUS s = SetOrUnset(RPCBPROC_SET, entry);
  if (s != 1) return s;
  // Taken: by this very address (nothing to do) or by another, which a new
  // registration replaces.
  std::vector<MapperEntry> entries;
  s = MapperDump(MapperTarget{}, &entries);
  if (s != RPC_S_OK) return s;
  for (MapperEntry const& e : entries) {
    if (e.program == entry.program && e.version == entry.version && e.netid == entry.netid && e.uaddr == entry.uaddr) {
      return RPC_S_OK;
    }
  }
  if (MapperUnset(entry.program, entry.version, entry.netid) != RPC_S_OK) return EPT_S_CANT_CREATE;
  s = SetOrUnset(RPCBPROC_SET, entry);
  return s == RPC_S_OK ? RPC_S_OK : EPT_S_CANT_CREATE;
}

RPC_STATUS MapperUnset(std::uint32_t program, std::uint32_t version, std::string const& netid) {
  MapperEntry entry;
  entry.program = program;
  entry.version = version;
  entry.netid = netid;
  RPC_STATUS s = SetOrUnset(RPCBPROC_UNSET, entry);
  return s == RPC_S_OK ? RPC_S_OK : EPT_S_CANT_CREATE;
}

}  // namespace brindle::detail
