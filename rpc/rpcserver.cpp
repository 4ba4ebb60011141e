// ARpcServer: registers one interface, enters its endpoints in the endpoint
// mapper and listens. Each record names this file as ".\rpcserver" with a
// fixed line.
#include <algorithm>
#include <chrono>

#include "brindle/rpc.h"
#include "platform/rpc_runtime.h"
#include "rpc/rpc_internal.h"

namespace {

char const kFile[] = ".\\rpcserver";

// The worker thread's procedure: stays with the listening, which start()
// has already begun, until it is stopped. Listening begins in start() even
// for a worker-thread server: a listen begun on the worker could come after
// a stop issued right after start() and keep the server listening for good.
UINT ListenProc(void*) {
  return static_cast<UINT>(RpcMgmtWaitServerListen());
}

}  // namespace

ARpcServer::ARpcServer(unsigned char const* protocolSequence, void* interfaceSpec, int userFlag, int dontWait,
                       unsigned char const* spareText, unsigned int minimumCallThreads, unsigned int maximumCalls,
                       unsigned char const* securityText)
    : ARpcController(protocolSequence, userFlag), spareText(nullptr), securityText(nullptr),
      interfaceSpec(interfaceSpec), dontWait(dontWait), minimumCallThreads(minimumCallThreads),
      maximumCalls(maximumCalls), bindingVector(nullptr), retryDelay(3000), registerAttempts(5) {
  this->spareText = brindle::detail::CopyText(spareText);
  try {
    this->securityText = brindle::detail::CopyText(securityText);
  } catch (...) {
    delete[] this->spareText;
    throw;
  }
  setStatus(0, kFile, 48, "ARpcServer::ARpcServer");
}

ARpcServer::~ARpcServer() {
  if (started != 0) stop();
  // No procedure outlives its server: once listening has stopped, the calls
  // still running are waited for. (While another server keeps the process
  // listening, the wait would last until that one stops.)
  if (RpcMgmtIsServerListening(nullptr) == RPC_S_NOT_LISTENING) RpcMgmtWaitServerListen();
  // A failed start or stop can leave the vector behind.
  if (bindingVector != nullptr) RpcBindingVectorFree(reinterpret_cast<RPC_BINDING_VECTOR**>(&bindingVector));
  delete[] spareText;
  delete[] securityText;
}

unsigned int ARpcServer::start() {
  setStatus(0, kFile, 113, "ARpcServer::start");
  RPC_BINDING_VECTOR** vector = reinterpret_cast<RPC_BINDING_VECTOR**>(&bindingVector);
  try {
    Sleep(retryDelay);
    // The runtime takes a security descriptor, which a text is not: the
    // text is kept, the endpoints get the default security.
    RPC_STATUS s = RpcServerUseProtseqA(protocolSequence, maximumCalls, nullptr);
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 123, "Error calling RpcServerUseProtseq");
      return static_cast<unsigned int>(s);
    }
    s = RpcServerRegisterIf(interfaceSpec, nullptr, nullptr);
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 133, "Error calling RpcServerRegisterIf");
      return static_cast<unsigned int>(s);
    }
    // A start on a serving server replaces its binding vector: release the
    // old one rather than lose it.
    if (*vector != nullptr) RpcBindingVectorFree(vector);
    s = RpcServerInqBindings(vector);
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 142, "Error calling RpcServerInqBindings");
      RpcServerUnregisterIf(interfaceSpec, nullptr, 0);
      return static_cast<unsigned int>(s);
    }
    unsigned int attempts = 0;
    do {
      s = RpcEpRegisterA(interfaceSpec, *vector, nullptr, reinterpret_cast<RPC_CSTR>(const_cast<char*>("")));
      ++attempts;
      if (s != RPC_S_OK) {
        setStatus(static_cast<unsigned int>(s), kFile, 158, "Error calling RpcEpRegister");
        Sleep(retryDelay);
      }
    } while (attempts < registerAttempts && s == EPT_S_CANT_CREATE);
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 166, "Error calling RpcEpRegister");
      RpcServerUnregisterIf(interfaceSpec, nullptr, 0);
      return static_cast<unsigned int>(s);
    }
    s = RpcServerListen(minimumCallThreads, maximumCalls, 1);
    // The runtime serves on threads of its own either way; without a worker
    // nothing is lost.
    if (s == RPC_S_OK && dontWait == 0) AfxBeginThread(ListenProc, nullptr, 0, 0, 0, nullptr);
    if (s != RPC_S_OK && s != RPC_S_ALREADY_LISTENING) {
      setStatus(static_cast<unsigned int>(s), kFile, 184, "Error calling listen");
      // Only this server's interface: other servers of the process keep theirs.
      RpcServerUnregisterIf(interfaceSpec, nullptr, 0);
      return static_cast<unsigned int>(s);
    }
    setStatus(static_cast<unsigned int>(s), kFile, 190, "RPC server started successfully");
    started = 1;
    return static_cast<unsigned int>(s);
  } catch (...) {
    setStatus(RPC_S_INTERNAL_ERROR, kFile, 201, "Caught exception starting RPC server");
    return RPC_S_INTERNAL_ERROR;
  }
}

void ARpcServer::setRetries(unsigned int attempts, unsigned int delayMilliseconds) {
  registerAttempts = std::max(attempts, 1u);
  retryDelay = delayMilliseconds;
}

unsigned int ARpcServer::getRetryAttempts() const { return registerAttempts; }

unsigned int ARpcServer::getRetryDelay() const { return retryDelay; }

unsigned int ARpcServer::waitForEndpointMapper(unsigned int timeoutMilliseconds) {
  using Clock = std::chrono::steady_clock;
  auto const deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  // The mapper is the machine's, whatever this server's protocol sequence:
  // a local binding reaches it on every platform.
  RPC_BINDING_HANDLE binding = nullptr;
  RPC_STATUS s = RpcBindingFromStringBindingA(reinterpret_cast<RPC_CSTR>(const_cast<char*>("ncalrpc:")), &binding);
  if (s != RPC_S_OK) return static_cast<unsigned int>(s);
  for (;;) {
    // Whether or not it knows the interface, the mapper has answered.
    s = RpcEpResolveBinding(binding, interfaceSpec);
    if (s == RPC_S_OK || s == EPT_S_NOT_REGISTERED) {
      s = RPC_S_OK;
      break;
    }
    auto const left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    Sleep(static_cast<DWORD>(std::min<decltype(left)>(left, 100)));
  }
  RpcBindingFree(&binding);
  return static_cast<unsigned int>(s);
}

unsigned int ARpcServer::stop() {
  setStatus(0, kFile, 242, "ARpcServer::stop");
  RPC_BINDING_VECTOR** vector = reinterpret_cast<RPC_BINDING_VECTOR**>(&bindingVector);
  try {
    RPC_STATUS s = RpcMgmtStopServerListening(nullptr);
    if (s != RPC_S_OK && s != RPC_S_NOT_LISTENING) {
      setStatus(static_cast<unsigned int>(s), kFile, 249, "Error calling RpcMgmtStopServerListening");
      return static_cast<unsigned int>(s);
    }
    // Without a binding vector (never started, or stopped already) this
    // server has no mapper entries and no vector: the runtime is not handed
    // a null vector, which it would dereference.
    if (*vector != nullptr) {
      s = RpcEpUnregister(interfaceSpec, *vector, nullptr);
      if (s != RPC_S_OK) {
        setStatus(static_cast<unsigned int>(s), kFile, 258, "Error calling RpcEpUnregister");
        return static_cast<unsigned int>(s);
      }
      s = RpcBindingVectorFree(vector);
      if (s != RPC_S_OK) {
        setStatus(static_cast<unsigned int>(s), kFile, 268, "Error calling RpcBindingVectorFree");
        return static_cast<unsigned int>(s);
      }
    }
    s = RpcServerUnregisterIf(interfaceSpec, nullptr, 0);
    if (s != RPC_S_OK) {
      setStatus(static_cast<unsigned int>(s), kFile, 277, "Error calling RpcServerUnregisterIf");
      return static_cast<unsigned int>(s);
    }
    started = 0;
    return 0;
  } catch (...) {
    setStatus(RPC_S_INTERNAL_ERROR, kFile, 291, "Caught exception stopping RPC server");
    started = 0;
    return RPC_S_INTERNAL_ERROR;
  }
}
