// The probe interface's server routines and the stubs' allocator, shared by
// the test program (which serves the interface itself) and
// rpcrt4_probe_server.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "probe.h"

extern "C" {

void* __RPC_USER MIDL_user_allocate(size_t size) { return std::malloc(size); }

void __RPC_USER MIDL_user_free(void* block) { std::free(block); }

ULONG s_ProbeLength(handle_t /*binding*/, char const* text) { return static_cast<ULONG>(std::strlen(text)); }

int s_ProbeAdd(handle_t /*binding*/, int left, int right) {
  return static_cast<int>(static_cast<unsigned int>(left) + static_cast<unsigned int>(right));
}

ULONG s_ProbeProcessId(handle_t /*binding*/) { return GetCurrentProcessId(); }

}  // extern "C"
