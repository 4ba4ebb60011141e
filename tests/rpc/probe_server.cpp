// The server process of the RPC integration tests: serves the probe
// interface with an ARpcServer under a given program number.
//
//   rpc_probe_server <protocol-sequence> <program-number> <dont-wait>
//
// Prints "started <status>" once start returns. Then reads commands from
// standard input: "stop" stops the server and prints "stopped <status>";
// end of input ends the process (destroying the server).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "brindle/rpc.h"
#include "brindle/rpc_runtime.h"
#include "probe.h"

extern "C" void probe_prog_1(svc_req* request, SVCXPRT* transport);

bool_t echo_1_svc(char** text, char** result, svc_req* /*request*/) {
  *result = strdup(*text);
  return *result != nullptr;
}

bool_t add_1_svc(addends* operands, int* sum, svc_req* /*request*/) {
  *sum = static_cast<int>(static_cast<unsigned int>(operands->left) + static_cast<unsigned int>(operands->right));
  return TRUE;
}

bool_t pause_1_svc(u_int* milliseconds, void* /*result*/, svc_req* /*request*/) {
  std::this_thread::sleep_for(std::chrono::milliseconds(*milliseconds));
  return TRUE;
}

int probe_prog_1_freeresult(SVCXPRT* /*transport*/, xdrproc_t xdr_result, caddr_t result) {
  xdr_free(xdr_result, result);
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s protocol-sequence program-number dont-wait\n", argv[0]);
    return 2;
  }
  static RPC_INTERFACE iface = {static_cast<rpcprog_t>(std::strtoul(argv[2], nullptr, 0)), PROBE_VERS, probe_prog_1};
  ARpcServer server(reinterpret_cast<unsigned char const*>(argv[1]), &iface, 0, std::atoi(argv[3]), nullptr, 1, 8,
                    nullptr);
  std::printf("started %u\n", server.start());
  std::fflush(stdout);
  std::string command;
  while (std::getline(std::cin, command)) {
    if (command == "stop") {
      std::printf("stopped %u\n", server.stop());
      std::fflush(stdout);
    }
  }
  return 0;
}
