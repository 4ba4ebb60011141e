// The server process of the RPC integration tests: serves the probe
// interface with an ARpcServer under a given program number.
//
//   rpc_probe_server <protocol-sequence> <program-number>
//
// Prints "started <status>" once start returns. Then reads commands from
// standard input: "stop" stops the server and prints "stopped <status>";
// end of input ends the process (destroying the server).
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "brindle/rpc.h"
#include "brindle/rpc_runtime.h"
#include "probe.h"

extern "C" void probe_prog_1(svc_req* request, SVCXPRT* transport);

std::atomic<unsigned int> runs{0};

bool_t echo_1_svc(text* argument, text* result, svc_req*) { return (*result = strdup(*argument)) != nullptr; }

bool_t run_1_svc(u_int* milliseconds, u_int* begun, svc_req*) {
  *begun = ++runs;
  std::this_thread::sleep_for(std::chrono::milliseconds(*milliseconds));
  return TRUE;
}

bool_t who_1_svc(void*, int* pid, svc_req* request) {
  ucred verified{};
  *pid = SVC_CONTROL(request->rq_xprt, BRINDLE_SVCGET_PEERCRED, &verified) ? verified.pid : 0;
  return TRUE;
}

int probe_prog_1_freeresult(SVCXPRT*, xdrproc_t xdr_result, caddr_t result) {
  xdr_free(xdr_result, result);
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  static RPC_INTERFACE iface = {static_cast<rpcprog_t>(std::strtoul(argv[2], nullptr, 0)), PROBE_VERS, probe_prog_1};
  ARpcServer server(reinterpret_cast<unsigned char const*>(argv[1]), &iface, 0, 1, nullptr, 1, 8, nullptr);
  std::cout << "started " << server.start() << std::endl;
  for (std::string command; std::getline(std::cin, command);) {
    if (command == "stop") std::cout << "stopped " << server.stop() << std::endl;
  }
  return 0;
}
