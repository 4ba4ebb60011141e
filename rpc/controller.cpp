#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <unordered_map>

#include "brindle/rpc.h"
#include "rpc/rpc_internal.h"

namespace {

// Each endpoint's recent records. They live beside the objects, keyed by
// address, because the endpoints' layout is fixed by programs already built
// against it. An entry is made by the first record and dropped when its
// endpoint is destroyed.
// Kept in a type of the library's own, so that the containers' code stays
// hidden in it.
struct Kept {
  unsigned int status;
  std::string text;
  std::chrono::system_clock::time_point time;
};

struct History {
  std::deque<Kept> records;
  unsigned int limit = 16;
};

struct Histories {
  std::mutex mutex;
  std::unordered_map<ARpcController const*, History> of;
};

// Never destroyed: endpoints may be destroyed by static destructors.
Histories& histories() {
  static Histories* h = new Histories;
  return *h;
}

void Trim(History& history) {
  while (history.records.size() > history.limit) history.records.pop_front();
}

}  // namespace

unsigned char* brindle::detail::CopyText(unsigned char const* text) {
  if (text == nullptr) return nullptr;
  std::size_t n = std::strlen(reinterpret_cast<char const*>(text));
  unsigned char* copy = new unsigned char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}

ARpcController::ARpcController(unsigned char const* protocolSequence, int userFlag)
    : protocolSequence(nullptr), userFlag(userFlag), started(0), status(0) {
  if (protocolSequence == nullptr) AfxThrowUserException();
  this->protocolSequence = brindle::detail::CopyText(protocolSequence);
}

ARpcController::~ARpcController() {
  delete[] protocolSequence;
  protocolSequence = nullptr;
  Histories& h = histories();
  std::lock_guard<std::mutex> lock(h.mutex);
  h.of.erase(this);
}

unsigned int ARpcController::getStatus() const { return status; }

char const* ARpcController::getStatusString() const { return statusString; }

std::vector<ARpcController::StatusRecord> ARpcController::getStatusHistory() const {
  Histories& h = histories();
  std::lock_guard<std::mutex> lock(h.mutex);
  auto found = h.of.find(this);
  std::vector<StatusRecord> out;
  if (found == h.of.end()) return out;
  out.reserve(found->second.records.size());
  for (Kept const& k : found->second.records) out.push_back({k.status, k.text, k.time});
  return out;
}

unsigned int ARpcController::setStatusHistoryLimit(unsigned int records) {
  Histories& h = histories();
  std::lock_guard<std::mutex> lock(h.mutex);
  History& history = h.of[this];
  unsigned int previous = history.limit;
  history.limit = records;
  Trim(history);
  return previous;
}

void ARpcController::setStatus(unsigned int status, char const* file, int line, char const* message) {
  statusString.Format("%s  status: %d line: %d file: %s", message, static_cast<int>(status), line, file);
  this->status = status;
  // The history is a convenience: without memory for it the record is
  // still made, and a start or stop still never throws.
  try {
    Histories& h = histories();
    std::lock_guard<std::mutex> lock(h.mutex);
    History& history = h.of[this];
    if (history.limit == 0) return;
    history.records.push_back({status, std::string(static_cast<char const*>(statusString)), std::chrono::system_clock::now()});
    Trim(history);
  } catch (std::bad_alloc const&) {
  }
}
