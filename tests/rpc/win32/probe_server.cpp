// The server process of the RPCRT4 integration tests: serves the probe
// interface with an ARpcServer.
//
//   rpcrt4_probe_server <protocol-sequence> <dont-wait>
//
// Starts the server, prints "started <status> <endpoint> <state>", and then
// stops it at each "stop" on standard input, printing
// "stopped <status> <state> <status text>".
// The endpoint is the first one this process serves ("-" when none), so that
// the test can tell the endpoint mapper's answer for this server from a stale
// one; the state, "listening" or "idle", is this process's own view, after
// giving a listening worker time to begin or end. End of input ends the
// process, destroying the server. The tests also run here what might crash,
// so that a crash ends only this process.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "brindle/rpc.h"
#include "probe.h"
#include "probe_manager.h"

namespace {

// A crash in the library ends this process at once with its code, rather
// than waiting on the system's debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "rpcrt4_probe_server: unhandled exception 0x%08lx\n",
               static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(ReportCrash);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s protocol-sequence dont-wait\n", argv[0]);
    return 2;
  }
  ARpcServer server(reinterpret_cast<unsigned char const*>(argv[1]), s_Probe_v1_0_s_ifspec, 0,
                    std::atoi(argv[2]), nullptr, 1, 8, nullptr);
  std::string command = "start";
  do {
    if (!command.empty() && command.back() == '\r') command.pop_back();
    if (command == "start") {
      unsigned int status = server.start();
      bool started = status == RPC_S_OK || status == RPC_S_ALREADY_LISTENING;
      std::string const endpoint = ServedHere();
      std::printf("started %u %s %s\n", status, endpoint.empty() ? "-" : endpoint.c_str(),
                  ListeningHere(started) ? "listening" : "idle");
    } else if (command == "stop") {
      unsigned int status = server.stop();
      std::printf("stopped %u %s %s\n", status, ListeningHere(false) ? "listening" : "idle", server.getStatusString());
    }
    std::fflush(stdout);
  } while (std::getline(std::cin, command));
  return 0;
}
