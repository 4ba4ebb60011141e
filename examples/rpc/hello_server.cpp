// hello_server: serves the hello interface (hello.x) with an ARpcServer
// until Ctrl-C or SIGTERM, or for the given number of seconds.
//
//   hello_server [protocol-sequence [seconds]]
//
// The protocol sequence is ncacn_ip_tcp (the default), ncadg_ip_udp or
// ncalrpc. The server's endpoint is dynamic: clients find it through
// rpcbind.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "brindle/rpc.h"
#include "brindle/rpc_runtime.h"
#include "hello.h"

// The manager routines, called by rpcgen's dispatch routine on the
// runtime's threads (possibly several at once).
bool_t greet_1_svc(char** name, char** greeting, svc_req* /*request*/) {
  std::string text = std::string("Hello, ") + *name + "!";
  *greeting = strdup(text.c_str());
  return *greeting != nullptr;
}

bool_t add_1_svc(operands* operands, int* sum, svc_req* /*request*/) {
  *sum = static_cast<int>(static_cast<unsigned int>(operands->left) + static_cast<unsigned int>(operands->right));
  return TRUE;
}

int hello_prog_1_freeresult(SVCXPRT* /*transport*/, xdrproc_t xdr_result, caddr_t result) {
  xdr_free(xdr_result, result);
  return 1;
}

int main(int argc, char** argv) {
  char const* protseq = argc > 1 ? argv[1] : "ncacn_ip_tcp";
  int seconds = argc > 2 ? std::atoi(argv[2]) : 0;

  // Taken by sigwait below; blocked first, so the runtime's threads inherit
  // the mask and never take them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  static RPC_INTERFACE iface = {HELLO_PROG, HELLO_VERS, hello_prog_1};
  ARpcServer server(reinterpret_cast<unsigned char const*>(protseq), &iface, 0, 0, nullptr, 1, 16, nullptr);
  std::printf("starting over %s (the server waits 3 seconds first)\n", protseq);
  std::fflush(stdout);
  unsigned int status = server.start();
  std::printf("%s\n", server.getStatusString());
  if (status != 0 && status != RPC_S_ALREADY_LISTENING) return 1;
  std::printf("serving program 0x%lx version %lu; Ctrl-C stops\n", static_cast<unsigned long>(iface.program),
              static_cast<unsigned long>(iface.version));
  std::fflush(stdout);

  if (seconds > 0) {
    timespec limit{seconds, 0};
    sigtimedwait(&signals, nullptr, &limit);
  } else {
    int signal = 0;
    sigwait(&signals, &signal);
  }
  status = server.stop();
  std::printf("%s\n", server.getStatusString());
  return status == 0 ? 0 : 1;
}
