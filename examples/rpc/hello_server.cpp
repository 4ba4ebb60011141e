// hello_server: serves the hello interface (hello.x) with an ARpcServer
// until Ctrl-C or SIGTERM, or for the given number of seconds.
//
//   hello_server [protocol-sequence [seconds [mapper-wait-ms]]]
//
// The protocol sequence is ncacn_ip_tcp (the default), ncadg_ip_udp or
// ncalrpc. The server's endpoint is dynamic: clients find it through
// rpcbind. Given a mapper wait, the server first waits that long at most
// for rpcbind to answer, as a service started with the system would; either
// way its start tries rpcbind for 10 seconds, and prints its records.
#include <signal.h>

#include <chrono>
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
  int mapper_wait = argc > 3 ? std::atoi(argv[3]) : 0;

  // Taken by sigwait below; blocked first, so the runtime's threads inherit
  // the mask and never take them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  static RPC_INTERFACE iface = {HELLO_PROG, HELLO_VERS, hello_prog_1};
  ARpcServer server(reinterpret_cast<unsigned char const*>(protseq), &iface, 0, 0, nullptr, 1, 16, nullptr);
  // Quicker than the 3-second default, and patient with a mapper that comes
  // up late: 40 registrations, 250 ms apart.
  server.setRetries(40, 250);
  if (mapper_wait > 0) {
    auto const begun = std::chrono::steady_clock::now();
    unsigned int answer = server.waitForEndpointMapper(static_cast<unsigned int>(mapper_wait));
    auto const waited = static_cast<long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begun).count());
    if (answer != 0) {
      std::printf("no endpoint mapper after %lld ms (status %u)\n", waited, answer);
      return 1;
    }
    std::printf("the endpoint mapper answered after %lld ms\n", waited);
  }
  std::printf("starting over %s\n", protseq);
  unsigned int status = server.start();
  // The start's records, oldest first, timed from the first.
  auto const history = server.getStatusHistory();
  for (auto const& record : history) {
    auto since = std::chrono::duration_cast<std::chrono::milliseconds>(record.time - history.front().time);
    std::printf("%+6lld ms  %s\n", static_cast<long long>(since.count()), record.text.c_str());
  }
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
