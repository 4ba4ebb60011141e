// The RPC runtime of a build without libtirpc: the endpoints are there, and
// every protocol sequence is refused (1703), as the runtime refuses those it
// does not carry. Releasing and stopping find nothing to do.
#include "platform/rpc_runtime.h"

namespace {
constexpr RPC_STATUS kNoProtseq = 1703;  // RPC_S_PROTSEQ_NOT_SUPPORTED
}  // namespace

extern "C" {

RPC_STATUS RpcStringBindingComposeA(RPC_CSTR, RPC_CSTR, RPC_CSTR, RPC_CSTR, RPC_CSTR, RPC_CSTR* string_binding) {
  if (string_binding != nullptr) *string_binding = nullptr;
  return kNoProtseq;
}
RPC_STATUS RpcBindingFromStringBindingA(RPC_CSTR, RPC_BINDING_HANDLE* binding) {
  if (binding != nullptr) *binding = nullptr;
  return kNoProtseq;
}
RPC_STATUS RpcStringFreeA(RPC_CSTR* text) {
  if (text != nullptr) *text = nullptr;
  return RPC_S_OK;
}
RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* binding) {
  if (binding != nullptr) *binding = nullptr;
  return RPC_S_OK;
}
RPC_STATUS RpcServerUseProtseqA(RPC_CSTR, unsigned int, void*) { return kNoProtseq; }
RPC_STATUS RpcServerRegisterIf(RPC_IF_HANDLE, UUID*, RPC_MGR_EPV*) { return kNoProtseq; }
RPC_STATUS RpcServerUnregisterIf(RPC_IF_HANDLE, UUID*, unsigned int) { return RPC_S_OK; }
RPC_STATUS RpcServerInqBindings(RPC_BINDING_VECTOR** bindings) {
  if (bindings != nullptr) *bindings = nullptr;
  return kNoProtseq;
}
RPC_STATUS RpcBindingVectorFree(RPC_BINDING_VECTOR** bindings) {
  if (bindings != nullptr) *bindings = nullptr;
  return RPC_S_OK;
}
RPC_STATUS RpcEpRegisterA(RPC_IF_HANDLE, RPC_BINDING_VECTOR*, UUID_VECTOR*, RPC_CSTR) { return kNoProtseq; }
RPC_STATUS RpcEpResolveBinding(RPC_BINDING_HANDLE, RPC_IF_HANDLE) { return 1702; }  // no binding was ever made
RPC_STATUS RpcEpUnregister(RPC_IF_HANDLE, RPC_BINDING_VECTOR*, UUID_VECTOR*) { return RPC_S_OK; }
RPC_STATUS RpcServerListen(unsigned int, unsigned int, unsigned int) { return 1714; }  // no protocol sequences
RPC_STATUS RpcMgmtStopServerListening(RPC_BINDING_HANDLE) { return RPC_S_NOT_LISTENING; }
RPC_STATUS RpcMgmtWaitServerListen() { return RPC_S_NOT_LISTENING; }
RPC_STATUS RpcMgmtIsServerListening(RPC_BINDING_HANDLE) { return RPC_S_NOT_LISTENING; }

// Declared in brindle/rpc_runtime.h over libtirpc's types, which this build
// lacks; a C name, so the symbol is the same.
__attribute__((visibility("default"))) RPC_STATUS RpcBindingInqClient(RPC_BINDING_HANDLE, void const*, void** client) {
  if (client != nullptr) *client = nullptr;
  return 1702;  // RPC_S_INVALID_BINDING: no binding was ever made
}

}  // extern "C"
