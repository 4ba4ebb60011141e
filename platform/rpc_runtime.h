// The remote procedure call runtime the RPC endpoints call, by the platform's
// own names (narrow-character forms). On Windows it is RPCRT4; on POSIX,
// platform/posix/rpc.cpp.
//
// What the endpoints rely on: every call returns a status, 0 meaning
// success; string bindings and binding vectors that the runtime hands out are
// released only by RpcStringFreeA and RpcBindingVectorFree, which also null
// the caller's field; RpcServerListen with a non-zero don't-wait flag returns
// at once (0, or 1713 when already listening) and with 0 blocks until
// RpcMgmtStopServerListening and the calls in progress have finished;
// RpcMgmtWaitServerListen blocks until then too, or, when the process is not
// listening, until the calls of an earlier listening have finished (1715 when
// there were none); RpcMgmtIsServerListening answers 0 or 1715;
// RpcEpResolveBinding answers 0 or 1753 (not registered) when the endpoint
// mapper answers, anything else when it does not.
#ifndef BRINDLE_PLATFORM_RPC_RUNTIME_H
#define BRINDLE_PLATFORM_RPC_RUNTIME_H

#include "platform/platform.h"

#if defined(_WIN32)

#include <rpc.h>

#else  // POSIX

#include <cstdint>

typedef std::int32_t RPC_STATUS;
typedef void* RPC_BINDING_HANDLE;
typedef void* RPC_IF_HANDLE;
typedef unsigned char* RPC_CSTR;

struct RPC_BINDING_VECTOR {
  std::uint32_t Count;
  RPC_BINDING_HANDLE BindingH[1];
};

struct UUID;
struct UUID_VECTOR;
typedef void RPC_MGR_EPV;

// The runtime's calling convention (the platform's default here).
#define RPC_ENTRY

#define RPC_S_OK 0
#define RPC_S_ALREADY_LISTENING 1713
#define RPC_S_NOT_LISTENING 1715
#define RPC_S_INTERNAL_ERROR 1766
#define EPT_S_NOT_REGISTERED 1753
#define EPT_S_CANT_CREATE 1899

extern "C" {

RPC_STATUS RpcStringBindingComposeA(RPC_CSTR object_uuid, RPC_CSTR protocol_sequence, RPC_CSTR network_address,
                                    RPC_CSTR endpoint, RPC_CSTR options, RPC_CSTR* string_binding);
RPC_STATUS RpcBindingFromStringBindingA(RPC_CSTR string_binding, RPC_BINDING_HANDLE* binding);
RPC_STATUS RpcStringFreeA(RPC_CSTR* text);
RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* binding);
RPC_STATUS RpcServerUseProtseqA(RPC_CSTR protocol_sequence, unsigned int max_calls, void* security);
RPC_STATUS RpcServerRegisterIf(RPC_IF_HANDLE iface, UUID* manager_type, RPC_MGR_EPV* entry_points);
RPC_STATUS RpcServerInqBindings(RPC_BINDING_VECTOR** bindings);
RPC_STATUS RpcEpRegisterA(RPC_IF_HANDLE iface, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* objects,
                          RPC_CSTR annotation);
RPC_STATUS RpcServerListen(unsigned int min_call_threads, unsigned int max_calls, unsigned int dont_wait);
RPC_STATUS RpcMgmtStopServerListening(RPC_BINDING_HANDLE binding);
RPC_STATUS RpcMgmtWaitServerListen();
RPC_STATUS RpcMgmtIsServerListening(RPC_BINDING_HANDLE binding);
RPC_STATUS RpcEpResolveBinding(RPC_BINDING_HANDLE binding, RPC_IF_HANDLE iface);
RPC_STATUS RpcEpUnregister(RPC_IF_HANDLE iface, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* objects);
RPC_STATUS RpcBindingVectorFree(RPC_BINDING_VECTOR** bindings);
RPC_STATUS RpcServerUnregisterIf(RPC_IF_HANDLE iface, UUID* manager_type, unsigned int wait_for_calls);

// Sleep()
//
// The calling thread waits `milliseconds`.
void Sleep(DWORD milliseconds);

}  // extern "C"

#endif  // _WIN32

#endif  // BRINDLE_PLATFORM_RPC_RUNTIME_H
