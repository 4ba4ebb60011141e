// The server's limits, read from the environment, and the accounting of
// stream connections against them.
//
// Callers rely on: a limit left unset, or set to what is not a positive
// decimal number, takes its default; a connection is idle while no call of
// it is in progress, and only a complete record or a finished call counts
// as activity, so a peer trickling a record never looks busy. The policy is
// libtirpc's for its own non-blocking connections (svc_vc.c: a record limit,
// idle connections closed, the least active one closed when descriptors run
// out), kept here per listening period rather than in its process-wide,
// single-threaded transport table.
#include <arpa/inet.h>

#include <cstdlib>

#include "platform/posix/rpc/rpc_posix.h"

namespace brindle::detail {

namespace {

using Clock = std::chrono::steady_clock;

std::size_t Setting(char const* name, std::size_t fallback) {
  char const* text = std::getenv(name);
  if (text == nullptr || *text < '0' || *text > '9') return fallback;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text, &end, 10);
  return *end == '\0' && value > 0 && value <= (std::size_t{1} << 40) ? static_cast<std::size_t>(value) : fallback;
}

}  // namespace

ServerLimits ReadServerLimits() {
  ServerLimits limits;
  limits.bind_address.s_addr = htonl(INADDR_ANY);
  char const* bind = std::getenv("BRINDLE_RPC_BIND_ADDRESS");
  if (bind != nullptr && *bind != '\0') limits.bind_address_valid = inet_pton(AF_INET, bind, &limits.bind_address) == 1;
  limits.record_bytes = Setting("BRINDLE_RPC_MAX_RECORD", std::size_t{16} << 20);
  limits.buffered_bytes = Setting("BRINDLE_RPC_MAX_BUFFERED", std::size_t{64} << 20);
  limits.connections = Setting("BRINDLE_RPC_MAX_CONNECTIONS", 256);
  limits.idle = std::chrono::seconds(Setting("BRINDLE_RPC_IDLE_SECONDS", 60));
  limits.cache_entries = Setting("BRINDLE_RPC_UDP_CACHE", 1024);
  limits.cache_age = std::chrono::seconds(Setting("BRINDLE_RPC_UDP_CACHE_SECONDS", 120));
  return limits;
}

bool ConnectionSet::Admit(std::shared_ptr<Connection> const& connection, void const* endpoint,
                          std::shared_ptr<Connection>* evicted) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t open = 0;
  for (auto const& entry : uses_) open += entry.second.endpoint == endpoint && !entry.second.closing ? 1 : 0;
  if (open >= limits_.connections) {
    *evicted = Evict(endpoint);
    if (*evicted == nullptr) return false;
  }
  Use& use = uses_[connection.get()];
  use.connection = connection;
  use.endpoint = endpoint;
  use.last = Clock::now();
  return true;
}

std::shared_ptr<Connection> ConnectionSet::LongestIdle() {
  std::lock_guard<std::mutex> lock(mutex_);
  return Evict(nullptr);
}

std::shared_ptr<Connection> ConnectionSet::Evict(void const* endpoint) {
  Use* oldest = nullptr;
  for (auto& entry : uses_) {
    Use& use = entry.second;
    if (use.closing || use.calls != 0 || (endpoint != nullptr && use.endpoint != endpoint)) continue;
    if (oldest == nullptr || use.last < oldest->last) oldest = &use;
  }
  if (oldest == nullptr) return nullptr;
  oldest->closing = true;
  return oldest->connection;
}

bool ConnectionSet::Hold(Connection const* connection, std::size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = uses_.find(connection);
  if (it == uses_.end()) return false;
  held_ = held_ - it->second.held + bytes;
  it->second.held = bytes;
  return held_ <= limits_.buffered_bytes;
}

bool ConnectionSet::Begin(Connection const* connection, std::size_t calls) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = uses_.find(connection);
  if (it == uses_.end() || it->second.closing) return false;
  it->second.calls += calls;
  it->second.last = Clock::now();
  return true;
}

bool ConnectionSet::End(Connection const* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = uses_.find(connection);
  if (it == uses_.end()) return false;
  it->second.calls -= 1;
  it->second.last = Clock::now();
  return it->second.hangup && it->second.calls == 0;
}

bool ConnectionSet::Hangup(Connection const* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = uses_.find(connection);
  if (it == uses_.end()) return true;
  it->second.hangup = true;
  return it->second.calls == 0;
}

void ConnectionSet::Remove(Connection const* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = uses_.find(connection);
  if (it == uses_.end()) return;
  held_ -= it->second.held;
  uses_.erase(it);
}

std::vector<std::shared_ptr<Connection>> ConnectionSet::Expired() {
  std::vector<std::shared_ptr<Connection>> expired;
  auto now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : uses_) {
    Use& use = entry.second;
    if (use.closing || use.calls != 0 || now - use.last < limits_.idle) continue;
    use.closing = true;
    expired.push_back(use.connection);
  }
  return expired;
}

std::vector<std::shared_ptr<Connection>> ConnectionSet::CloseAll() {
  std::vector<std::shared_ptr<Connection>> all;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : uses_) {
    entry.second.closing = true;
    all.push_back(entry.second.connection);
  }
  return all;
}

}  // namespace brindle::detail
