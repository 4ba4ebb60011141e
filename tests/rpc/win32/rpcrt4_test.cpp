// The endpoints over RPCRT4 for real: servers in this process and in a
// second one, clients bound through the endpoint mapper, calls through the
// probe interface's stubs. A failed remote call raises an exception that
// this compiler cannot catch, so calls are made only where the server must
// be listening; every other outcome is read from the endpoints' statuses and
// the runtime's own non-raising queries.

#include "brindle/rpc.h"
#include "probe.h"
#include "tests/child_process.h"
#include "tests/portable.h"

// The probe interface's server routines and the stubs' allocator.
extern "C" {
void* __RPC_USER MIDL_user_allocate(size_t size) { return std::malloc(size); }
void __RPC_USER MIDL_user_free(void* block) { std::free(block); }
ULONG s_ProbeLength(handle_t, char const* text) { return static_cast<ULONG>(std::strlen(text)); }
int s_ProbeAdd(handle_t, int left, int right) {
  return static_cast<int>(static_cast<unsigned int>(left) + static_cast<unsigned int>(right));
}
ULONG s_ProbeProcessId(handle_t) { return GetCurrentProcessId(); }
}  // extern "C"

namespace {

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

// A crash ends the program at once with its code instead of waiting on the
// system's debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "rpcrt4_test: unhandled exception 0x%08lx\n",
               static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
  return EXCEPTION_EXECUTE_HANDLER;
}
[[maybe_unused]] LPTOP_LEVEL_EXCEPTION_FILTER const previous_filter = SetUnhandledExceptionFilter(ReportCrash);

// The endpoint a handle names ("" for none yet).
std::string EndpointOf(RPC_BINDING_HANDLE handle) {
  RPC_CSTR text = nullptr, endpoint = nullptr;
  std::string result;
  if (RpcBindingToStringBindingA(handle, &text) != RPC_S_OK) return "(no binding)";
  if (RpcStringBindingParseA(text, nullptr, nullptr, nullptr, &endpoint, nullptr) == RPC_S_OK && endpoint) {
    result = reinterpret_cast<char const*>(endpoint);
    RpcStringFreeA(&endpoint);
  }
  RpcStringFreeA(&text);
  return result;
}

// The first endpoint this process serves ("" for none).
std::string ServedHere() {
  RPC_BINDING_VECTOR* bindings = nullptr;
  if (RpcServerInqBindings(&bindings) != RPC_S_OK) return "";
  std::string endpoint = bindings->Count > 0 ? EndpointOf(bindings->BindingH[0]) : "";
  RpcBindingVectorFree(&bindings);
  return endpoint;
}

// Whether this process listens, waiting up to 10 s for it to become `wanted`.
bool ListeningHere(bool wanted = true) {
  for (int i = 0; i < 500 && (RpcMgmtIsServerListening(nullptr) == RPC_S_OK) != wanted; ++i) Sleep(20);
  return RpcMgmtIsServerListening(nullptr) == RPC_S_OK;
}

// Started again by Rpcrt4TwoProcesses with BRINDLE_RPC_SERVE="<protseq>
// <dont-wait>", this program is the server process: it prints "started
// <status> <endpoint> <state>", then at each "stop" on its input "stopped
// <status> <state> <status text>", and ends with its input, destroying the
// server. The endpoint ("-" for none) tells the mapper's answer for this
// server from a stale one; the state, "listening" or "idle", is this
// process's own view, after giving a listening worker time to begin or end.
[[maybe_unused]] int const serving = [] {
  char const* serve = std::getenv("BRINDLE_RPC_SERVE");
  char protseq[32] = "";
  int dont_wait = 0;
  if (serve == nullptr || std::sscanf(serve, "%31s %d", protseq, &dont_wait) != 2) return 0;
  {
    ARpcServer server(reinterpret_cast<unsigned char const*>(protseq), s_Probe_v1_0_s_ifspec, 0, dont_wait, nullptr,
                      1, 8, nullptr);
    unsigned int const status = server.start();
    std::string const endpoint = ServedHere();
    std::printf("started %u %s %s\n", status, endpoint.empty() ? "-" : endpoint.c_str(),
                ListeningHere(status == RPC_S_OK || status == RPC_S_ALREADY_LISTENING) ? "listening" : "idle");
    for (std::string command; std::fflush(stdout) == 0 && std::getline(std::cin, command);) {
      if (command.rfind("stop", 0) != 0) continue;
      unsigned int const stopped = server.stop();
      std::printf("stopped %u %s %s\n", stopped, ListeningHere(false) ? "listening" : "idle", server.getStatusString());
    }
  }
  std::exit(0);
}();

std::string Record(char const* message, unsigned int status, int line, char const* file) {
  return std::string(message) + "  status: " + std::to_string(status) + " line: " + std::to_string(line) +
         " file: " + file;
}

// A bound client with its handle variable: ncalrpc on this machine, the
// endpoint left to the mapper unless given.
struct Caller {
  explicit Caller(char const* endpoint = nullptr)
      : client(U("ncalrpc"), &handle, 0, nullptr, nullptr, U(endpoint), nullptr) {}
  void* handle = nullptr;
  ARpcClient client;
};

// The endpoint the mapper gives a fresh client for the probe interface.
std::string Resolve() {
  Caller caller;
  if (caller.client.start() != 0 || RpcEpResolveBinding(caller.handle, Probe_v1_0_c_ifspec) != RPC_S_OK) return "";
  return EndpointOf(caller.handle);
}

// Wine's RpcEpUnregister (8.0 at least) sends the mapper an insert rather
// than a delete, so there a stopped server's entries stay behind and answer
// before later servers' entries; on Windows they go.
bool MapperForgetsUnregisteredEntries() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

// Calls through `endpoint` reach `process`. (A call left to the mapper would
// raise where Wine's mapper answers with a stale entry or none.)
void ExpectServedBy(std::string const& endpoint, unsigned long process) {
  Caller caller(endpoint.c_str());
  ASSERT_EQ(caller.client.start(), 0u) << caller.client.getStatusString();
  EXPECT_EQ(ProbeProcessId(caller.handle), process);
  EXPECT_EQ(ProbeAdd(caller.handle, INT_MAX, 1), INT_MIN);
  EXPECT_EQ(ProbeLength(caller.handle, "across"), 6u);
}

// A server in a second process, in either listening mode, is found through
// the mapper and at its endpoint named outright until it stops; a stop with
// nothing to undo answers by status rather than ending the process.
TEST(Rpcrt4TwoProcesses, ServedUntilStoppedInBothListeningModes) {
  // The server process serves on the runtime's threads while its own waits
  // for commands: threads racing, which an emulated CPU does not survive.
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  std::string const stopped = "stopped 0 idle " + Record("ARpcServer::stop", 0, 242, ".\\rpcserver");
  for (char const* dont_wait : {"0", "1"}) {
    SCOPED_TRACE(dont_wait);
    brindle::testing::SetEnv("BRINDLE_RPC_SERVE", (std::string("ncalrpc ") + dont_wait).c_str());
    brindle::testing::ChildProcess server({brindle::testing::ProgramPath()});
    brindle::testing::SetEnv("BRINDLE_RPC_SERVE", nullptr);
    std::string line;
    ASSERT_TRUE(server.ReadLine(&line, 120000)) << "the server process did not start";
    char endpoint[128] = "";
    ASSERT_EQ(std::sscanf(line.c_str(), "started 0 %127s listening", endpoint), 1) << line;
    if (MapperForgetsUnregisteredEntries()) {
      EXPECT_EQ(Resolve(), endpoint) << "the mapper answered for another server";
    }
    ExpectServedBy(endpoint, server.id());
    for (int stop = 0; stop < 2; ++stop) {  // the second has nothing to undo: 0, or the step that refused
      server.Send("stop");
      ASSERT_TRUE(server.ReadLine(&line, 30000)) << "the server process ended instead of answering";
      EXPECT_TRUE(line == stopped || (stop == 1 && line.find(" idle Error calling Rpc") != std::string::npos))
          << line;
    }
    if (MapperForgetsUnregisteredEntries()) {
      EXPECT_NE(Resolve(), endpoint) << "the stopped server is still found";
    }
    EXPECT_EQ(server.Finish(30000), 0);
  }
}

// A server in this process, in either listening mode: served here once
// started, started twice (the runtime listening already) and stopped; a
// worker-thread server restarted and destroyed while serving, and stopped
// right after a start without the stop being lost.
TEST(Rpcrt4InProcess, ServerLifecycleInBothListeningModes) {
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  std::string const started_twice =
      Record("RPC server started successfully", RPC_S_ALREADY_LISTENING, 190, ".\\rpcserver");
  for (int dont_wait : {0, 1}) {
    SCOPED_TRACE(dont_wait);
    {
      ARpcServer server(U("ncalrpc"), s_Probe_v1_0_s_ifspec, 0, dont_wait, nullptr, 1, 8, nullptr);
      for (int round = 0; round <= 1 - dont_wait; ++round) {
        ASSERT_EQ(server.start(), 0u) << server.getStatusString();
        ASSERT_TRUE(ListeningHere()) << "the server never listened";
        std::string const served = ServedHere();
        ASSERT_NE(served, "");
        ExpectServedBy(served, GetCurrentProcessId());
        ASSERT_EQ(server.start(), static_cast<unsigned int>(RPC_S_ALREADY_LISTENING));
        EXPECT_EQ(server.getStatusString(), started_twice);
        if (round == 0) {
          ASSERT_EQ(server.stop(), 0u) << server.getStatusString();
          EXPECT_FALSE(ListeningHere(false)) << "still listening after a stop";
        }
      }
    }
    EXPECT_FALSE(ListeningHere(false)) << "still listening after the server's end";
  }
  {
    // The system's mapper answers (started on demand if need be), and a
    // start without waits keeps its three records.
    ARpcServer server(U("ncalrpc"), s_Probe_v1_0_s_ifspec, 0, 0, nullptr, 1, 8, nullptr);
    server.setRetries(1, 0);
    EXPECT_EQ(server.waitForEndpointMapper(10000), 0u);
    ASSERT_EQ(server.start(), 0u) << server.getStatusString();
    std::vector<ARpcController::StatusRecord> const history = server.getStatusHistory();
    EXPECT_TRUE(history.size() == 3u && history.back().text == server.getStatusString());
    EXPECT_EQ(server.stop(), 0u) << server.getStatusString();
  }
  Sleep(1000);  // whatever the worker was about to do is done
  EXPECT_FALSE(ListeningHere(false)) << "a worker listens after its server was stopped";
}

}  // namespace
