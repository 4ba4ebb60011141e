// The endpoints over RPCRT4 for real: servers in this process and in a
// second one, clients bound through the endpoint mapper, calls through the
// probe interface's stubs. A failed remote call raises an exception that
// this compiler cannot catch, so calls are made only where the server must
// be listening; every other outcome is read from the endpoints' statuses and
// from the runtime's own non-raising queries, and what might crash runs in
// the server process. Each server start costs the endpoint's 3-second wait,
// so each test walks one server through its whole life.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <ios>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/rpc.h"
#include "probe.h"
#include "tests/portable.h"

namespace {

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

// A crash (in the library, or a call that failed after all) ends the program
// at once with its code instead of waiting on the system's debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "rpcrt4_test: unhandled exception 0x%08lx\n",
               static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  return EXCEPTION_EXECUTE_HANDLER;
}
[[maybe_unused]] LPTOP_LEVEL_EXCEPTION_FILTER const previous_filter = SetUnhandledExceptionFilter(ReportCrash);

std::string Record(char const* message, unsigned int status, int line, char const* file) {
  return std::string(message) + "  status: " + std::to_string(status) + " line: " + std::to_string(line) +
         " file: " + file;
}

// What RPCRT4 answers for a protocol sequence it does not know: Windows and
// Wine differ in which of the two.
bool IsUnknownProtseqStatus(unsigned int status) {
  return status == RPC_S_PROTSEQ_NOT_SUPPORTED || status == RPC_S_INVALID_RPC_PROTSEQ;
}

// A bound client with its handle variable: ncalrpc on this machine, the
// endpoint left to the mapper unless given.
struct Caller {
  explicit Caller(char const* endpoint = nullptr)
      : client(U("ncalrpc"), &handle, 0, nullptr, nullptr, U(endpoint), nullptr) {}
  void* handle = nullptr;
  ARpcClient client;
};

// The endpoint a handle names ("" for none yet).
std::string EndpointOf(RPC_BINDING_HANDLE handle) {
  RPC_CSTR text = nullptr;
  if (RpcBindingToStringBindingA(handle, &text) != RPC_S_OK) return "(no binding)";
  RPC_CSTR endpoint = nullptr;
  std::string result;
  if (RpcStringBindingParseA(text, nullptr, nullptr, nullptr, &endpoint, nullptr) == RPC_S_OK &&
      endpoint != nullptr) {
    result = reinterpret_cast<char const*>(endpoint);
    RpcStringFreeA(&endpoint);
  }
  RpcStringFreeA(&text);
  return result;
}

// The mapper's answer for the probe interface, asked by a fresh client: the
// status, and the endpoint it gave.
struct Resolution {
  RPC_STATUS status;
  std::string endpoint;
};

Resolution Resolve() {
  Caller caller;
  if (caller.client.start() != 0) return {static_cast<RPC_STATUS>(caller.client.getStatus()), ""};
  RPC_STATUS s = RpcEpResolveBinding(caller.handle, Probe_v1_0_c_ifspec);
  return {s, s == RPC_S_OK ? EndpointOf(caller.handle) : ""};
}

// The endpoints this process serves.
std::vector<std::string> ServedEndpoints() {
  std::vector<std::string> endpoints;
  RPC_BINDING_VECTOR* bindings = nullptr;
  if (RpcServerInqBindings(&bindings) != RPC_S_OK) return endpoints;
  for (unsigned long i = 0; i < bindings->Count; ++i) endpoints.push_back(EndpointOf(bindings->BindingH[i]));
  RpcBindingVectorFree(&bindings);
  return endpoints;
}

// Wine's RpcEpUnregister (8.0 at least) sends the mapper an insert rather
// than a delete, so there a stopped server's entries stay behind, and answer
// before later servers' entries; on Windows they go.
bool MapperForgetsUnregisteredEntries() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

bool ListeningHere() { return RpcMgmtIsServerListening(nullptr) == RPC_S_OK; }

// Waits up to `timeout_ms` for this process's listening to become `wanted`.
bool AwaitListeningHere(bool wanted, DWORD timeout_ms = 10000) {
  DWORD start = GetTickCount();
  while (ListeningHere() != wanted) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(10);
  }
  return true;
}

// Served by this process, through the mapper: the endpoint handed out is one
// this process serves, and calls through it are answered here.
void ExpectServedHere(char const* when) {
  SCOPED_TRACE(when);
  Resolution found = Resolve();
  ASSERT_EQ(found.status, RPC_S_OK);
  std::vector<std::string> served = ServedEndpoints();
  ASSERT_FALSE(served.empty());
  bool found_here = std::find(served.begin(), served.end(), found.endpoint) != served.end();
  if (MapperForgetsUnregisteredEntries()) {
    ASSERT_TRUE(found_here) << "the mapper gave " << found.endpoint << ", which this process does not serve";
  }
  // Where an earlier server's entry answers first, the endpoint is named.
  Caller caller(found_here ? nullptr : served.front().c_str());
  ASSERT_EQ(caller.client.start(), 0u) << caller.client.getStatusString();
  EXPECT_EQ(ProbeProcessId(caller.handle), GetCurrentProcessId());
  EXPECT_EQ(ProbeAdd(caller.handle, INT_MAX, 1), INT_MIN);
  EXPECT_EQ(ProbeLength(caller.handle, "ping"), 4u);
  EXPECT_EQ(ProbeLength(caller.handle, ""), 0u);
}

// After a stop: nothing listens here, and (where the mapper honours
// unregistration) it no longer hands out any endpoint of this process.
void ExpectNotServedHere(char const* when, std::vector<std::string> const& served) {
  SCOPED_TRACE(when);
  EXPECT_TRUE(AwaitListeningHere(false)) << "the process still listens";
  if (!MapperForgetsUnregisteredEntries()) return;
  Resolution found = Resolve();
  if (found.status == RPC_S_OK) {
    EXPECT_EQ(std::find(served.begin(), served.end(), found.endpoint), served.end())
        << "the mapper still gives " << found.endpoint;
  } else {
    EXPECT_EQ(found.status, EPT_S_NOT_REGISTERED);
  }
}

// --- Failures, reported by status ---------------------------------------------------

TEST(Rpcrt4Endpoints, ClientBindsBeforeAnyServerAndReleasesTheHandle) {
  Caller caller;
  ASSERT_EQ(caller.client.start(), 0u);
  EXPECT_EQ(caller.client.getStatusString(), Record("Rpc client started successfully", 0, 185, ".\\rpcclient"));
  void* bound = caller.handle;
  ASSERT_NE(bound, nullptr);
  EXPECT_EQ(EndpointOf(bound), "") << "no endpoint until the mapper is asked";

  // Bound already: only recorded, the handle kept.
  EXPECT_EQ(caller.client.start(), 0u);
  EXPECT_EQ(caller.client.getStatusString(), Record("ARpcClient::start(", 0, 136, ".\\rpcclient"));
  EXPECT_EQ(caller.handle, bound);

  EXPECT_EQ(caller.client.stop(), 0u);
  EXPECT_EQ(caller.handle, nullptr);
  EXPECT_EQ(caller.client.stop(), 0u);
  EXPECT_EQ(caller.client.getStatusString(), Record("ARpcClient::stop", 0, 236, ".\\rpcclient"));

  // A client bound anew after a stop gets a handle of its own again.
  EXPECT_EQ(caller.client.start(), 0u);
  EXPECT_NE(caller.handle, nullptr);
}

TEST(Rpcrt4Endpoints, ClientReportsAMalformedObjectUuid) {
  void* handle = nullptr;
  ARpcClient client(U("ncalrpc"), &handle, 0, U("not-a-uuid"), nullptr, nullptr, nullptr);
  unsigned int status = client.start();
  EXPECT_EQ(status, static_cast<unsigned int>(RPC_S_INVALID_STRING_UUID));
  EXPECT_EQ(client.getStatus(), status);
  std::string record = client.getStatusString();
  EXPECT_TRUE(record == Record("Error calling RpcStringBindingCompose", status, 157, ".\\rpcclient") ||
              record == Record("Error calling RpcBindingFromStringBinding", status, 175, ".\\rpcclient"))
      << record;
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(client.stop(), 0u);  // never bound: nothing to release
}

TEST(Rpcrt4Endpoints, UnknownProtocolSequenceIsTheRuntimesStatusForBoth) {
  void* handle = nullptr;
  ARpcClient client(U("ncacn_bogus"), &handle, 0, nullptr, nullptr, nullptr, nullptr);
  unsigned int client_status = client.start();
  // Windows refuses such a binding; Wine makes it and would refuse its first
  // call.
  if (client_status == 0) {
    EXPECT_NE(handle, nullptr);
  } else {
    EXPECT_PRED1(IsUnknownProtseqStatus, client_status);
    EXPECT_EQ(client.getStatusString(),
              Record("Error calling RpcBindingFromStringBinding", client_status, 175, ".\\rpcclient"));
    EXPECT_EQ(handle, nullptr);
  }
  EXPECT_EQ(client.stop(), 0u);

  ARpcServer server(U("ncacn_bogus"), s_Probe_v1_0_s_ifspec, 0, 1, nullptr, 1, 8, nullptr);
  unsigned int status = server.start();
  EXPECT_PRED1(IsUnknownProtseqStatus, status);
  if (client_status != 0) {
    EXPECT_EQ(status, client_status);
  }
  EXPECT_EQ(server.getStatusString(), Record("Error calling RpcServerUseProtseq", status, 123, ".\\rpcserver"));
  EXPECT_FALSE(ListeningHere());
  EXPECT_EQ(ServedEndpoints(), std::vector<std::string>()) << "a refused start left an endpoint behind";
}

// --- A server in another process -----------------------------------------------------------

// The directory this program was started from, where the server program lies
// too.
std::string ProgramDirectory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, n);
  std::size_t end = directory.find_last_of("\\/");
  return end == std::string::npos ? std::string() : directory.substr(0, end + 1);
}

// rpcrt4_probe_server, with pipes to its standard input and output. Ended by
// Finish or the destructor, and killed when it does not end in time.
class ServerProcess {
 public:
  ServerProcess(char const* protseq, int dont_wait, bool hold = false) {
    std::string program = ProgramDirectory() + "rpcrt4_probe_server.exe";
    std::string command = "\"" + program + "\" " + protseq + " " + std::to_string(dont_wait) + (hold ? " hold" : "");
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE child_in = nullptr;
    HANDLE child_out = nullptr;
    if (!CreatePipe(&child_in, &to_child_, &inheritable, 0)) return;
    if (!CreatePipe(&from_child_, &child_out, &inheritable, 0)) {
      CloseHandle(child_in);
      return;
    }
    SetHandleInformation(to_child_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(from_child_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
      process_ = info.hProcess;
      id_ = info.dwProcessId;
      CloseHandle(info.hThread);
    }
    CloseHandle(child_in);
    CloseHandle(child_out);
  }
  ServerProcess(ServerProcess const&) = delete;
  ServerProcess& operator=(ServerProcess const&) = delete;
  ~ServerProcess() { Finish(5000); }

  DWORD id() const { return id_; }

  // The next line of the child's output, waiting at most `timeout_ms`.
  bool ReadLine(std::string* line, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
      std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        *line = buffer_.substr(0, end);
        if (!line->empty() && line->back() == '\r') line->pop_back();
        buffer_.erase(0, end + 1);
        return true;
      }
      DWORD available = 0;
      if (from_child_ == nullptr || !PeekNamedPipe(from_child_, nullptr, 0, nullptr, &available, nullptr)) {
        return false;  // the child has gone
      }
      if (available == 0) {
        if (GetTickCount() - start >= timeout_ms) return false;
        Sleep(20);
        continue;
      }
      char chunk[256];
      DWORD n = 0;
      if (!ReadFile(from_child_, chunk, std::min<DWORD>(available, sizeof chunk), &n, nullptr) || n == 0) {
        return false;
      }
      buffer_.append(chunk, n);
    }
  }

  void Send(std::string const& line) {
    std::string text = line + "\n";
    DWORD written = 0;
    if (to_child_ == nullptr || !WriteFile(to_child_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      ADD_FAILURE() << "could not write to the server process";
    }
  }

  // Closes the child's input and waits for it to end: its exit code, or -1
  // when it had to be killed.
  long Finish(DWORD timeout_ms) {
    if (to_child_ != nullptr) CloseHandle(to_child_);
    to_child_ = nullptr;
    long result = -1;
    if (process_ != nullptr) {
      if (WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process_, &code)) result = static_cast<long>(code);
      } else {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, INFINITE);
      }
      CloseHandle(process_);
      process_ = nullptr;
    }
    if (from_child_ != nullptr) CloseHandle(from_child_);
    from_child_ = nullptr;
    return result;
  }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
  HANDLE to_child_ = nullptr;
  HANDLE from_child_ = nullptr;
  std::string buffer_;
};

// A client here calls a server in another process, found through the mapper
// and at its endpoint named outright, until the server stops.
void CallTheServerProcessUntilItStops(int dont_wait) {
  // The server process serves on the runtime's threads while its own waits
  // for commands: threads racing, which an emulated CPU does not survive.
  if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  ServerProcess server("ncalrpc", dont_wait);
  std::string line;
  ASSERT_TRUE(server.ReadLine(&line, 120000)) << "the server process did not start";
  char endpoint_text[128] = "";
  char state[16] = "";
  unsigned int status = 1;
  ASSERT_EQ(std::sscanf(line.c_str(), "started %u %127s %15s", &status, endpoint_text, state), 3) << line;
  ASSERT_EQ(status, 0u) << line;
  ASSERT_STREQ(state, "listening") << line;
  std::string endpoint = endpoint_text;
  ASSERT_NE(endpoint, "-");

  // Found through the mapper: that process's endpoint, and calls reach it.
  Resolution found = Resolve();
  ASSERT_EQ(found.status, RPC_S_OK);
  if (MapperForgetsUnregisteredEntries()) {
    ASSERT_EQ(found.endpoint, endpoint) << "the mapper answered for another server";
  }
  if (found.endpoint == endpoint) {  // else an earlier server's entry answered first
    Caller found_caller;
    ASSERT_EQ(found_caller.client.start(), 0u) << found_caller.client.getStatusString();
    EXPECT_EQ(ProbeProcessId(found_caller.handle), server.id());
    EXPECT_EQ(ProbeAdd(found_caller.handle, -2, 5), 3);
    EXPECT_EQ(ProbeLength(found_caller.handle, "across"), 6u);
  }

  // The same server at its endpoint named outright.
  Caller direct(endpoint.c_str());
  ASSERT_EQ(direct.client.start(), 0u) << direct.client.getStatusString();
  EXPECT_EQ(EndpointOf(direct.handle), endpoint);
  EXPECT_EQ(ProbeProcessId(direct.handle), server.id());
  EXPECT_EQ(ProbeAdd(direct.handle, INT_MAX, 1), INT_MIN);

  // Stopped, the process lives on but no longer listens, nor is it found.
  server.Send("stop");
  ASSERT_TRUE(server.ReadLine(&line, 30000));
  EXPECT_EQ(line, "stopped 0 idle " + Record("ARpcServer::stop", 0, 242, ".\\rpcserver"));
  if (MapperForgetsUnregisteredEntries()) {
    found = Resolve();
    if (found.status == RPC_S_OK) {
      EXPECT_NE(found.endpoint, endpoint) << "the stopped server is still in the mapper";
    } else {
      EXPECT_EQ(found.status, EPT_S_NOT_REGISTERED);
    }
  }

  EXPECT_EQ(server.Finish(30000), 0);
}

TEST(Rpcrt4TwoProcesses, ServerListeningOnAWorkerThread) { CallTheServerProcessUntilItStops(0); }

TEST(Rpcrt4TwoProcesses, ServerListenedForByTheRuntime) { CallTheServerProcessUntilItStops(1); }

// A stop with nothing to undo, in a server process: it answers by status
// (0, or the record of the step that refused) and leaves nothing listening,
// rather than ending the process.
void ExpectStopAnswersByStatus(ServerProcess& server) {
  server.Send("stop");
  std::string line;
  if (!server.ReadLine(&line, 120000)) {
    ADD_FAILURE() << "the server process ended instead of answering, with code 0x" << std::hex
                  << static_cast<unsigned long>(server.Finish(5000));
    return;
  }
  unsigned int status = 1;
  char state[16] = "";
  int consumed = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "stopped %u %15s %n", &status, state, &consumed), 2) << line;
  std::string record = line.substr(static_cast<std::size_t>(consumed));
  EXPECT_STREQ(state, "idle");
  if (status == 0) {
    EXPECT_EQ(record, Record("ARpcServer::stop", 0, 242, ".\\rpcserver"));
  } else {
    EXPECT_TRUE(record == Record("Error calling RpcMgmtStopServerListening", status, 249, ".\\rpcserver") ||
                record == Record("Error calling RpcEpUnregister", status, 258, ".\\rpcserver") ||
                record == Record("Error calling RpcBindingVectorFree", status, 268, ".\\rpcserver") ||
                record == Record("Error calling RpcServerUnregisterIf", status, 277, ".\\rpcserver"))
        << record;
  }
}

// Callers stop servers in their clean-up whatever became of them: a server
// that never started, whose start failed or that is stopped already has no
// registrations to undo.
TEST(Rpcrt4ServerProcess, StopWithNothingToUndoAnswersByStatus) {
  ServerProcess never("ncalrpc", 1, true);
  ServerProcess refused("ncacn_bogus", 1);
  ServerProcess stopped("ncalrpc", 1, true);
  std::string line;
  {
    SCOPED_TRACE("never started");
    ExpectStopAnswersByStatus(never);
  }
  {
    SCOPED_TRACE("start failed");
    ASSERT_TRUE(refused.ReadLine(&line, 120000)) << "the server process did not start";
    EXPECT_EQ(line.rfind("started 0 ", 0), std::string::npos) << line;
    ExpectStopAnswersByStatus(refused);
  }
  {
    SCOPED_TRACE("stopped already");
    stopped.Send("start");
    ASSERT_TRUE(stopped.ReadLine(&line, 120000)) << "the server process did not start";
    ASSERT_EQ(line.rfind("started 0 ", 0), 0u) << line;
    stopped.Send("stop");
    ASSERT_TRUE(stopped.ReadLine(&line, 30000));
    ASSERT_EQ(line, "stopped 0 idle " + Record("ARpcServer::stop", 0, 242, ".\\rpcserver"));
    ExpectStopAnswersByStatus(stopped);
  }
}

// --- Servers in this process ------------------------------------------------------------

// The runtime's threads serve while this one calls and stops: threads racing,
// which an emulated CPU under Wine does not survive.
class Rpcrt4InProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (brindle::testing::EmulatedCpu()) GTEST_SKIP() << brindle::testing::kEmulatedCpuSkip;
  }
};

TEST_F(Rpcrt4InProcess, WorkerThreadServerStartsTwiceStopsAndRestarts) {
  std::vector<std::string> served;
  {
    ARpcServer server(U("ncalrpc"), s_Probe_v1_0_s_ifspec, 0, 0, nullptr, 1, 8, nullptr);
    ASSERT_EQ(server.start(), 0u) << server.getStatusString();
    EXPECT_EQ(server.getStatusString(), Record("RPC server started successfully", 0, 190, ".\\rpcserver"));
    ASSERT_TRUE(AwaitListeningHere(true)) << "the worker thread never listened";
    ExpectServedHere("started");
    served = ServedEndpoints();

    // The second start finds the runtime listening: started all the same,
    // and the first worker goes on waiting.
    ASSERT_EQ(server.start(), static_cast<unsigned int>(RPC_S_ALREADY_LISTENING)) << server.getStatusString();
    EXPECT_EQ(server.getStatusString(),
              Record("RPC server started successfully", RPC_S_ALREADY_LISTENING, 190, ".\\rpcserver"));
    ASSERT_TRUE(ListeningHere());
    ExpectServedHere("started twice");

    ASSERT_EQ(server.stop(), 0u) << server.getStatusString();
    EXPECT_EQ(server.getStatusString(), Record("ARpcServer::stop", 0, 242, ".\\rpcserver"));
    ExpectNotServedHere("stopped", served);

    ASSERT_EQ(server.start(), 0u) << server.getStatusString();
    ASSERT_TRUE(AwaitListeningHere(true)) << "the restarted worker never listened";
    ExpectServedHere("restarted");
    served = ServedEndpoints();
  }
  ExpectNotServedHere("destroyed while serving", served);
}

TEST_F(Rpcrt4InProcess, ServerTheRuntimeListensForStartsTwiceAndStops) {
  ARpcServer server(U("ncalrpc"), s_Probe_v1_0_s_ifspec, 0, 1, nullptr, 1, 8, nullptr);
  ASSERT_EQ(server.start(), 0u) << server.getStatusString();
  EXPECT_TRUE(ListeningHere()) << "listening was not under way when start returned";
  ExpectServedHere("started");

  EXPECT_EQ(server.start(), static_cast<unsigned int>(RPC_S_ALREADY_LISTENING));
  EXPECT_EQ(server.getStatusString(),
            Record("RPC server started successfully", RPC_S_ALREADY_LISTENING, 190, ".\\rpcserver"));
  ExpectServedHere("started twice");

  std::vector<std::string> served = ServedEndpoints();
  ASSERT_EQ(server.stop(), 0u) << server.getStatusString();
  EXPECT_FALSE(ListeningHere()) << "listening had not ended when stop returned";
  ExpectNotServedHere("stopped", served);
}

// With dontWait 0 the worker thread may not have begun when stop comes: the
// stop must not be lost, leaving the process listening.
TEST_F(Rpcrt4InProcess, StopRightAfterStartLeavesNothingListening) {
  {
    ARpcServer server(U("ncalrpc"), s_Probe_v1_0_s_ifspec, 0, 0, nullptr, 1, 8, nullptr);
    ASSERT_EQ(server.start(), 0u) << server.getStatusString();
    EXPECT_EQ(server.stop(), 0u) << server.getStatusString();
  }
  Sleep(1000);  // whatever the worker was about to do is done
  EXPECT_FALSE(ListeningHere()) << "a worker listens after its server was stopped";
  if (ListeningHere()) RpcMgmtStopServerListening(nullptr);
}

}  // namespace
