#include <cstring>

#include "brindle/rpc.h"
#include "rpc/rpc_internal.h"

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
}

unsigned int ARpcController::getStatus() const { return status; }

char const* ARpcController::getStatusString() const { return statusString; }

void ARpcController::setStatus(unsigned int status, char const* file, int line, char const* message) {
  statusString.Format("%s  status: %d line: %d file: %s", message, static_cast<int>(status), line, file);
  this->status = status;
}
