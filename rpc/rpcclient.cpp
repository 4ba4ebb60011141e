// ARpcClient: binds a caller's handle variable from the parts of a string
// binding. Each record names this file as ".\rpcclient" with a fixed line.
#include "brindle/rpc.h"
#include "platform/rpc_runtime.h"
#include "rpc/rpc_internal.h"

namespace {

char const kFile[] = ".\\rpcclient";

}  // namespace

ARpcClient::ARpcClient(unsigned char const* protocolSequence, void** bindingHandle, int userFlag,
                       unsigned char const* objectUuid, unsigned char const* networkAddress,
                       unsigned char const* endpoint, unsigned char const* options)
    : ARpcController(protocolSequence, userFlag), objectUuid(nullptr), networkAddress(nullptr), options(nullptr),
      endpoint(nullptr), stringBinding(nullptr), bindingHandle(bindingHandle) {
  try {
    this->objectUuid = brindle::detail::CopyText(objectUuid);
    this->networkAddress = brindle::detail::CopyText(networkAddress);
    this->endpoint = brindle::detail::CopyText(endpoint);
    this->options = brindle::detail::CopyText(options);
  } catch (...) {
    delete[] this->objectUuid;
    delete[] this->networkAddress;
    delete[] this->endpoint;
    throw;
  }
  setStatus(0, kFile, 62, "ARpcClient::ARpcClient");
}

ARpcClient::~ARpcClient() {
  if (started != 0) stop();
  if (stringBinding != nullptr) RpcStringFreeA(&stringBinding);  // left by a start that caught an exception
  delete[] objectUuid;
  delete[] networkAddress;
  delete[] endpoint;
  delete[] options;
}

unsigned int ARpcClient::start() {
  setStatus(0, kFile, 136, "ARpcClient::start(");
  if (started != 0) return 0;
  try {
    // A start that caught an exception may have left a composed binding
    // behind; composing anew must not lose it.
    if (stringBinding != nullptr) {
      RpcStringFreeA(&stringBinding);
      stringBinding = nullptr;
    }
    RPC_STATUS s = RpcStringBindingComposeA(objectUuid, protocolSequence, networkAddress, endpoint, options,
                                            &stringBinding);
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 157, "Error calling RpcStringBindingCompose");
      return static_cast<unsigned int>(s);
    }
    s = RpcBindingFromStringBindingA(stringBinding, reinterpret_cast<RPC_BINDING_HANDLE*>(bindingHandle));
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 175, "Error calling RpcBindingFromStringBinding");
      RpcStringFreeA(&stringBinding);
      stringBinding = nullptr;
      return static_cast<unsigned int>(s);
    }
    started = 1;
    setStatus(0, kFile, 185, "Rpc client started successfully");
    return 0;
  } catch (...) {
    setStatus(RPC_S_INTERNAL_ERROR, kFile, 195, "Caught exception starting RPC client.");
    return RPC_S_INTERNAL_ERROR;
  }
}

unsigned int ARpcClient::stop() {
  setStatus(0, kFile, 236, "ARpcClient::stop");
  if (started == 0) return 0;
  try {
    RPC_STATUS s = RpcStringFreeA(&stringBinding);
    stringBinding = nullptr;
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 249, "Error calling RpcStringFree");
      // The handle is the caller's: release it all the same rather than
      // leave it bound with no way back to it.
      RpcBindingFree(reinterpret_cast<RPC_BINDING_HANDLE*>(bindingHandle));
      started = 0;
      return static_cast<unsigned int>(s);
    }
    s = RpcBindingFree(reinterpret_cast<RPC_BINDING_HANDLE*>(bindingHandle));
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 258, "Error calling RpcBindingFree");
      started = 0;
      return static_cast<unsigned int>(s);
    }
    started = 0;
    return 0;
  } catch (...) {
    setStatus(RPC_S_INTERNAL_ERROR, kFile, 274, "Caught exception stopping RPC client.");
    started = 0;
    return RPC_S_INTERNAL_ERROR;
  }
}
