// String bindings and protocol sequences of the POSIX RPC runtime.
//
// Callers rely on: a composed string binding reads back into exactly the
// parts it was made from (composing refuses parts that would not); parsing
// refuses anything but "uuid@protseq:address[endpoint,options]"; protocol
// sequences are told apart as carried, known but not carried (1703), and
// unknown (1704).
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/posix/rpc/rpc_posix.h"

namespace brindle::detail {

namespace {

// The platform's other protocol sequences: known, but not carried here.
constexpr char const* kOtherProtseqs[] = {
    "ncacn_np",     "ncacn_nb_tcp", "ncacn_nb_ipx", "ncacn_nb_nb", "ncacn_spx",      "ncacn_dnet_nsp",
    "ncacn_at_dsp", "ncacn_vns_spp", "ncacn_http", "ncadg_ipx",   "ncadg_mq",       "ncacn_hvsocket",
    "ncadg_nb"};

bool HasAny(char const* text, char const* characters) {
  return text != nullptr && std::strpbrk(text, characters) != nullptr;
}

bool IsEmpty(char const* text) { return text == nullptr || *text == '\0'; }

}  // namespace

std::size_t PointerHash::operator()(void const* pointer) const noexcept {
  return std::hash<void const*>()(pointer);
}

std::string Decimal(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lu", value);
  return text;
}

RPC_STATUS FindProtseq(char const* text, Protseq* protseq) {
  if (text == nullptr) return RPC_S_INVALID_RPC_PROTSEQ;
  if (std::strcmp(text, "ncacn_ip_tcp") == 0) {
    *protseq = Protseq::kTcp;
    return RPC_S_OK;
  }
  if (std::strcmp(text, "ncadg_ip_udp") == 0) {
    *protseq = Protseq::kUdp;
    return RPC_S_OK;
  }
  if (std::strcmp(text, "ncalrpc") == 0) {
    *protseq = Protseq::kLocal;
    return RPC_S_OK;
  }
  for (char const* other : kOtherProtseqs) {
    if (std::strcmp(text, other) == 0) return RPC_S_PROTSEQ_NOT_SUPPORTED;
  }
  return RPC_S_INVALID_RPC_PROTSEQ;
}

char const* NetId(Protseq protseq) {
  switch (protseq) {
    case Protseq::kTcp:
      return "tcp";
    case Protseq::kUdp:
      return "udp";
    case Protseq::kLocal:
      break;
  }
  return "local";
}

RPC_STATUS ComposeStringBinding(char const* object_uuid, char const* protseq, char const* address,
                                char const* endpoint, char const* options, std::string* binding) {
  if (protseq == nullptr) return RPC_S_INVALID_RPC_PROTSEQ;
  // Each part must not hold the delimiter that ends it, nor a bracket.
  if (HasAny(object_uuid, "@:[],") || HasAny(protseq, "@:[],") || HasAny(address, "[]@") ||
      HasAny(endpoint, "[],") || HasAny(options, "[]")) {
    return RPC_S_INVALID_STRING_BINDING;
  }
  std::string text;
  if (!IsEmpty(object_uuid)) text.append(object_uuid).push_back('@');
  text.append(protseq).push_back(':');
  if (!IsEmpty(address)) text.append(address);
  if (!IsEmpty(endpoint) || !IsEmpty(options)) {
    text.push_back('[');
    if (!IsEmpty(endpoint)) text.append(endpoint);
    if (!IsEmpty(options)) text.append(",").append(options);
    text.push_back(']');
  }
  *binding = std::move(text);
  return RPC_S_OK;
}

RPC_STATUS ParseStringBinding(std::string_view binding, StringBindingParts* parts) {
  StringBindingParts result;
  std::size_t colon = binding.find(':');
  if (colon == std::string_view::npos) return RPC_S_INVALID_STRING_BINDING;
  std::string_view head = binding.substr(0, colon);
  std::size_t at = head.find('@');
  if (at != std::string_view::npos) {
    result.object_uuid = head.substr(0, at);
    head.remove_prefix(at + 1);
  }
  if (head.find_first_of("@[],") != std::string_view::npos) return RPC_S_INVALID_STRING_BINDING;
  result.protseq = head;

  std::string_view rest = binding.substr(colon + 1);
  std::size_t open = rest.find('[');
  result.address = rest.substr(0, open);
  if (result.address.find_first_of("[]@") != std::string::npos) return RPC_S_INVALID_STRING_BINDING;
  if (open != std::string_view::npos) {
    std::string_view inside = rest.substr(open + 1);
    if (inside.empty() || inside.back() != ']') return RPC_S_INVALID_STRING_BINDING;
    inside.remove_suffix(1);
    if (inside.find_first_of("[]") != std::string_view::npos) return RPC_S_INVALID_STRING_BINDING;
    std::size_t comma = inside.find(',');
    result.endpoint = inside.substr(0, comma);
    if (comma != std::string_view::npos) result.options = inside.substr(comma + 1);
  }
  *parts = std::move(result);
  return RPC_S_OK;
}

bool IsUuidText(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    char c = text[i];
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

std::uint16_t ParsePort(std::string_view endpoint) {
  if (endpoint.empty() || endpoint.size() > 5) return 0;
  unsigned int port = 0;
  for (char c : endpoint) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + static_cast<unsigned int>(c - '0');
  }
  return port >= 1 && port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
}

std::string LocalEndpointPath(std::string_view endpoint) {
  constexpr std::size_t kPathRoom = sizeof(sockaddr_un{}.sun_path);  // terminator included
  if (endpoint.empty()) return {};
  if (endpoint.front() == '/') return endpoint.size() < kPathRoom ? std::string(endpoint) : std::string();
  if (endpoint.size() > 64) return {};
  for (char c : endpoint) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
              c == '-';
    if (!ok) return {};
  }
  if (endpoint == "." || endpoint == "..") return {};
  std::string directory = LocalSocketDirectory();
  if (directory.empty()) return {};
  std::string path = directory + "/" + std::string(endpoint);
  return path.size() < kPathRoom ? path : std::string();
}

std::string LocalSocketDirectory() {
  std::string directory;
  char const* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    directory = std::string(runtime) + "/brindle-rpc";
  } else {
    directory = "/tmp/brindle-rpc-" + Decimal(getuid());
  }
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return {};
  // In a shared directory the name could have been taken by someone else:
  // use it only when it is a real directory of ours that nobody else may
  // write to.
  struct stat info;
  if (lstat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
      (info.st_mode & 0022) != 0) {
    return {};
  }
  return directory;
}

}  // namespace brindle::detail
