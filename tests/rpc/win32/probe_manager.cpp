// The probe interface's server routines, the stubs' allocator and the
// runtime queries, shared by the test program (which serves the interface
// itself) and rpcrt4_probe_server.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "probe.h"
#include "probe_manager.h"

extern "C" {

void* __RPC_USER MIDL_user_allocate(size_t size) { return std::malloc(size); }

void __RPC_USER MIDL_user_free(void* block) { std::free(block); }

ULONG s_ProbeLength(handle_t /*binding*/, char const* text) { return static_cast<ULONG>(std::strlen(text)); }

int s_ProbeAdd(handle_t /*binding*/, int left, int right) {
  return static_cast<int>(static_cast<unsigned int>(left) + static_cast<unsigned int>(right));
}

ULONG s_ProbeProcessId(handle_t /*binding*/) { return GetCurrentProcessId(); }

}  // extern "C"

std::string EndpointOf(RPC_BINDING_HANDLE handle) {
  RPC_CSTR text = nullptr, endpoint = nullptr;
  std::string result;
  if (RpcBindingToStringBindingA(handle, &text) != RPC_S_OK) return "(no binding)";
  if (RpcStringBindingParseA(text, nullptr, nullptr, nullptr, &endpoint, nullptr) == RPC_S_OK && endpoint) {
    result = reinterpret_cast<char const*>(endpoint);
    RpcStringFreeA(&endpoint);
  }
  RpcStringFreeA(&text);
  return result;
}

std::string ServedHere() {
  RPC_BINDING_VECTOR* bindings = nullptr;
  if (RpcServerInqBindings(&bindings) != RPC_S_OK) return "";
  std::string endpoint = bindings->Count > 0 ? EndpointOf(bindings->BindingH[0]) : "";
  RpcBindingVectorFree(&bindings);
  return endpoint;
}

bool ListeningHere(bool wanted) {
  for (int i = 0; i < 500 && (RpcMgmtIsServerListening(nullptr) == RPC_S_OK) != wanted; ++i) Sleep(20);
  return RpcMgmtIsServerListening(nullptr) == RPC_S_OK;
}
