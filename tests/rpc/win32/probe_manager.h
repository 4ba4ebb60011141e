// What the test program and rpcrt4_probe_server both ask of the runtime.
#pragma once
#include <windows.h>

#include <string>

// The endpoint a handle names ("" for none yet).
std::string EndpointOf(RPC_BINDING_HANDLE handle);
// The first endpoint this process serves ("" for none).
std::string ServedHere();
// Whether this process listens, waiting up to 10 s for it to become `wanted`.
bool ListeningHere(bool wanted = true);
