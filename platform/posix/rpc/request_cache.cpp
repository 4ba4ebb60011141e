// The duplicate-request cache of datagram endpoints: a client resends a call
// whose reply it has not seen, and the server must neither run it twice nor
// leave it unanswered.
//
// Callers rely on: a call seen for the first time is marked running and
// reported new; its retransmissions are reported running (answer nothing:
// the reply is on its way) until Finish, and then done, with the reply to
// send again. libtirpc's own cache (svc_dg_enablecache) lives inside its
// single-threaded datagram transport and knows only finished calls, so it
// cannot serve here; this one keeps its bounds: entries, oldest first.
#include <cstring>

#include "platform/posix/rpc/rpc_posix.h"

namespace brindle::detail {

std::string RequestCache::KeyOf(char const* data, std::size_t size, sockaddr_storage const& peer, socklen_t length) {
  // xid, direction (0: call), RPC version, program, version, procedure: the
  // fixed head of every call message.
  constexpr std::size_t kHead = 24;
  if (size < kHead || std::memcmp(data + 4, "\0\0\0\0", 4) != 0) return {};
  std::string key(reinterpret_cast<char const*>(&peer), length);
  key.append(data, 4);
  key.append(data + 12, kHead - 12);
  return key;
}

RequestCache::Seen RequestCache::Begin(std::string const& key, std::string* reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  Forget(std::chrono::steady_clock::now());
  auto [it, added] = calls_.try_emplace(key);
  if (added) return Seen::kNew;
  if (!it->second.done) return Seen::kRunning;
  *reply = it->second.reply;
  return Seen::kDone;
}

void RequestCache::Finish(std::string const& key, std::string reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = calls_.find(key);
  if (it == calls_.end()) return;
  it->second.done = true;
  it->second.reply = std::move(reply);
  it->second.finished = std::chrono::steady_clock::now();
  finished_.push_back({key});
  Forget(it->second.finished);
}

void RequestCache::Forget(std::chrono::steady_clock::time_point now) {
  while (!finished_.empty()) {
    auto it = calls_.find(finished_.front().key);
    if (finished_.size() <= entries_ && now - it->second.finished < age_) break;
    calls_.erase(it);
    finished_.pop_front();
  }
}

}  // namespace brindle::detail
