// The endpoints step by step against a scripted runtime: every record's
// status, line, message and file, the start and stop state machines, the
// waits and the endpoint-mapper attempts, without a real runtime or real
// 3-second waits. The runtime's calls (and Sleep) are this program's own:
// each is logged as "Name(arguments)" (a pointer as null, iface for
// test_interface's address, or p) and returns the status scripted for it (0
// by default, or the next of a queue whose last repeats), or throws.

#include "brindle/rpc.h"
#include "platform/rpc_runtime.h"
#include "tests/portable.h"

// The endpoint classes compiled in here stand in for the library's: under
// AddressSanitizer their vtables are duplicates by design, to be reported only
// if the two copies' sizes differ.
extern "C" char const* __asan_default_options() { return "detect_odr_violation=1"; }

namespace {

using Names = std::vector<std::string>;

struct Script {
  std::mutex mutex;  // the listening worker logs too
  Names calls;
  std::map<std::string, std::deque<int>> results;  // 1766 thrown

  void Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    calls.clear();
    results.clear();
  }
  int Run(std::string const& call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(call);
    std::deque<int>& queue = results[call.substr(0, call.find('('))];
    int status = queue.empty() ? 0 : queue.front();
    if (queue.size() > 1) queue.pop_front();
    if (status == 1766) throw status;
    return status;
  }
  Names Calls(bool with_arguments = false) {
    std::lock_guard<std::mutex> lock(mutex);
    Names out;
    for (auto const& call : calls) out.push_back(with_arguments ? call : call.substr(0, call.find('(')));
    return out;
  }
} script;

int test_interface;  // stands for an interface description
int fake_handle;     // what a binding handle points at
RPC_BINDING_VECTOR fake_vector{1, {&fake_handle}};

std::string Arg(unsigned char const* text) { return text == nullptr ? "(null)" : reinterpret_cast<char const*>(text); }
std::string Arg(void const* p) { return p == nullptr ? "null" : p == &test_interface ? "iface" : "p"; }
std::string Arg(unsigned long number) { return std::to_string(number); }

// Logs "name(arguments)" and returns its scripted status, after `effect` when that is 0.
template <typename... Args>
RPC_STATUS Log(char const* name, Args const&... args) {
  std::string list;
  ((list += "," + Arg(args)), ...);
  return script.Run(std::string(name) + "(" + (list.empty() ? list : list.substr(1)) + ")");
}
template <typename Effect>
RPC_STATUS Then(RPC_STATUS status, Effect const& effect) {
  if (status == 0) effect();
  return status;
}

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

// An operation returned `status`, which the endpoint recorded with `message`
// and `line` of its source file.
void Recorded(unsigned int result, ARpcController const& endpoint, int status, char const* message, int line) {
  char const* file = dynamic_cast<ARpcClient const*>(&endpoint) != nullptr ? ".\\rpcclient" : ".\\rpcserver";
  EXPECT_TRUE(result == static_cast<unsigned int>(status) && endpoint.getStatus() == result) << result;
  EXPECT_EQ(endpoint.getStatusString(), std::string(message) + "  status: " + std::to_string(status) +
                                            " line: " + std::to_string(line) + " file: " + file);
}

ARpcServer MakeServer(int dont_wait) {
  return ARpcServer(U("ncacn_ip_tcp"), &test_interface, 0, dont_wait, U("spare"), 2, 20, U("security"));
}

struct Endpoints : ::testing::Test {
  void SetUp() override { script.Reset(); }
};

TEST_F(Endpoints, ClientStartAndStop) {
  void* handle = nullptr;
  EXPECT_THROW(ARpcClient(nullptr, &handle, 0, nullptr, nullptr, nullptr, nullptr), CUserException);
  {
    // 25 letters fill a heap block to its end: a copy short of its terminator overruns into the allocator's header.
    ARpcClient client(U("ncacn_ip_tcp"), &handle, 0, nullptr, U("host-name-of-25-letters.x"), nullptr, U("opt"));
    Recorded(client.stop(), client, 0, "ARpcClient::stop", 236);  // never started: only recorded
    Recorded(client.start(), client, 0, "Rpc client started successfully", 185);
    Recorded(client.start(), client, 0, "ARpcClient::start(", 136);  // bound: only recorded
    // Null parts reach the runtime as null; the endpoint precedes the options.
    EXPECT_EQ(script.Calls(true), (Names{"Compose((null),ncacn_ip_tcp,host-name-of-25-letters.x,(null),opt)",
                                         "FromStringBinding(ncacn_ip_tcp:)"}));
    Recorded(client.stop(), client, 0, "ARpcClient::stop", 236);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(client.start(), 0u);  // again, with a fresh string binding
  }  // destroying a bound client stops it
  EXPECT_TRUE(script.Calls().size() == 8u && handle == nullptr);
}

TEST_F(Endpoints, ClientFailuresAndExceptions) {
  // The failing call and its status (1766: it throws), whether it fails a start (else a stop), the record's message
  // and line, the number of calls made, and of those the destructor adds (the string binding a start that threw left).
  std::tuple<char const*, int, bool, char const*, int, std::size_t, std::size_t> const rows[] = {
      {"Compose", 1704, true, "Error calling RpcStringBindingCompose", 157, 1, 0},
      {"FromStringBinding", 1700, true, "Error calling RpcBindingFromStringBinding", 175, 3, 0},  // string freed
      // The handle is released even when the string binding's release fails.
      {"StringFree", 1702, false, "Error calling RpcStringFree", 249, 4, 0},
      {"FromStringBinding", 1766, true, "Caught exception starting RPC client.", 195, 2, 1},
  };
  for (auto const& [failing, status, in_start, message, line, made, left] : rows) {
    SCOPED_TRACE(message);
    script.Reset();
    void* handle = nullptr;
    {
      ARpcClient client(U("ncalrpc"), &handle, 0, nullptr, nullptr, U("ep"), nullptr);
      script.results[failing] = {status, 0};
      unsigned int result = client.start();
      Recorded(in_start ? result : client.stop(), client, status, message, line);
      EXPECT_EQ(script.Calls().size(), made);
      EXPECT_EQ(client.stop(), 0u);  // idle either way: a stop only records
    }
    EXPECT_EQ(script.Calls().size(), made + left);
  }
}

TEST_F(Endpoints, ServerStartAndStop) {
  ARpcServer server = MakeServer(1);
  Recorded(server.stop(), server, 0, "ARpcServer::stop", 242);  // never started: no null binding vector
  EXPECT_EQ(script.Calls(), (Names{"StopListening", "UnregisterIf"}));
  script.Reset();
  Recorded(server.start(), server, 0, "RPC server started successfully", 190);
  // The wait comes before any runtime call; the security text is no security
  // descriptor, so the runtime gets none.
  EXPECT_EQ(script.Calls(true), (Names{"Sleep(3000)", "UseProtseq(ncacn_ip_tcp,20,null)", "RegisterIf(iface,null,null)",
                                       "InqBindings()", "EpRegister(iface,p,null,)", "Listen(2,20,1)"}));
  ASSERT_EQ(server.start(), 0u);
  EXPECT_EQ(script.Calls()[9], "VectorFree");  // a start on a serving server releases the replaced vector
  script.Reset();
  Recorded(server.stop(), server, 0, "ARpcServer::stop", 242);
  EXPECT_EQ(script.Calls(true), (Names{"StopListening(null)", "EpUnregister(iface,p,null)", "VectorFree(p)",
                                       "UnregisterIf(iface,null,0)"}));  // not waiting for calls in progress
  script.results["StopListening"] = {1715};  // not listening: carried on
  EXPECT_EQ(server.stop(), 0u);
  ARpcServer waiting = MakeServer(0);
  script.Reset();
  EXPECT_EQ(waiting.start(), 0u);
  // Listening has begun when start() returns, so a stop right after it is
  // not overtaken by the worker; the worker only waits on it.
  for (int i = 0; i < 500 && script.Calls().size() < 7; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(script.Calls(true).back(), "WaitListen()");
  script.Reset();
  script.results["Listen"] = {1714};
  EXPECT_EQ(waiting.start(), 1714u);  // reported, and no worker left waiting on a listen that failed
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(script.Calls().back(), "UnregisterIf");
}  // the runtime listens on (for another server): destruction does not wait

// Retries set before a start: the wait before the first call and after each
// refused registration, and the attempts; the history keeps the records of
// that start, oldest first, within its limit. The mapper wait asks the
// machine's mapper until it answers, "not registered" counting as an answer.
TEST_F(Endpoints, ServerRetriesHistoryAndMapperWait) {
  ARpcServer server = MakeServer(1);
  server.setRetries(3, 40);
  script.results["EpRegister"] = {1899, 1899, 0};
  EXPECT_EQ(server.start(), 0u);
  Names const calls = script.Calls(true);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "Sleep(40)"), 3);
  std::vector<std::pair<unsigned int, std::string>> kept;
  for (auto const& record : server.getStatusHistory()) kept.emplace_back(record.status, record.text.substr(0, record.text.find("  ")));
  EXPECT_EQ(kept, (std::vector<std::pair<unsigned int, std::string>>{
                      {0, "ARpcServer::ARpcServer"}, {0, "ARpcServer::start"}, {1899, "Error calling RpcEpRegister"},
                      {1899, "Error calling RpcEpRegister"}, {0, "RPC server started successfully"}}));
  EXPECT_EQ(server.getStatusHistory().back().text, server.getStatusString());
  EXPECT_TRUE(server.setStatusHistoryLimit(2) == 16 && server.getStatusHistory().size() == 2);
  server.setRetries(0, 0);  // one attempt, however refused
  script.Reset();
  script.results["EpRegister"] = {1899};
  EXPECT_EQ(server.start(), 1899u);
  EXPECT_TRUE(server.getRetryAttempts() == 1 && server.getStatusHistory().front().status == 1899);
  EXPECT_EQ(server.setStatusHistoryLimit(0), 2u);
  EXPECT_TRUE(server.stop() == 0 && server.getStatusHistory().empty());
  script.Reset();
  script.results["EpResolve"] = {1722, 1722, 1753};
  EXPECT_EQ(server.waitForEndpointMapper(60000), 0u);
  EXPECT_EQ(script.Calls(true), (Names{"FromStringBinding(ncalrpc:)", "EpResolve(p,iface)", "Sleep(100)",
                                       "EpResolve(p,iface)", "Sleep(100)", "EpResolve(p,iface)", "BindingFree(p)"}));
  script.Reset();
  script.results["EpResolve"] = {1722};
  EXPECT_EQ(server.waitForEndpointMapper(0), 1722u);  // asked once
  EXPECT_EQ(script.Calls().size(), 3u);
}

// A failing step records its status, undoes what its operation's rules say
// and leaves the server as it was: a failed stop leaves it started, so that
// destruction stops it again (an exception leaves it stopped). Destruction
// then waits for calls in progress, the runtime having stopped listening.
TEST_F(Endpoints, ServerFailuresAndExceptions) {
  Names const wait = {"IsListening", "WaitListen"}, free = {"IsListening", "WaitListen", "VectorFree"};
  Names const stop_again = {"StopListening", "EpUnregister", "VectorFree", "UnregisterIf", "IsListening", "WaitListen"};
  char const* const undone = "UnregisterIf(iface,null,0)";  // this server's interface alone
  // Whether a stop fails (else a start), the failing call and its status (1766: it throws), the record's message
  // and line, the last call made (its beginning), and the calls of the destruction.
  std::tuple<bool, char const*, int, char const*, int, char const*, Names> const rows[] = {
      {false, "RegisterIf", 1717, "Error calling RpcServerRegisterIf", 133, "RegisterIf(", wait},
      {false, "InqBindings", 1702, "Error calling RpcServerInqBindings", 142, undone, wait},
      {false, "EpRegister", 1899, "Error calling RpcEpRegister", 166, undone, free},  // five times, each after a wait
      {false, "EpRegister", 1753, "Error calling RpcEpRegister", 166, undone, free},
      {false, "Listen", 1725, "Error calling listen", 184, undone, free},
      {false, "RegisterIf", 1766, "Caught exception starting RPC server", 201, "RegisterIf(", wait},
      {true, "StopListening", 1702, "Error calling RpcMgmtStopServerListening", 249, "StopListening(", stop_again},
      {true, "EpUnregister", 1702, "Error calling RpcEpUnregister", 258, "EpUnregister(", stop_again},
      {true, "UnregisterIf", 1702, "Error calling RpcServerUnregisterIf", 277, "UnregisterIf(",
       {"StopListening", "UnregisterIf", "IsListening", "WaitListen"}},
      {true, "EpUnregister", 1766, "Caught exception stopping RPC server", 291, "EpUnregister(", free},
  };
  for (auto const& [stop, failing, status, message, line, last, destruction] : rows) {
    SCOPED_TRACE(message);
    script.Reset();
    {
      ARpcServer server = MakeServer(1);
      EXPECT_EQ(stop ? server.start() : 0u, 0u);
      script.Reset();
      script.results[failing] = {status};
      Recorded(stop ? server.stop() : server.start(), server, status, message, line);
      Names made = script.Calls();
      EXPECT_LT(std::count(made.begin(), made.end(), "EpRegister"), status == 1899 ? 6 : 2) << "1899 alone retried";
      EXPECT_EQ(script.Calls(true).back().rfind(last, 0), 0u) << script.Calls(true).back();
      script.Reset();
      script.results["IsListening"] = {1715};
    }
    EXPECT_EQ(script.Calls(), destruction);
  }
}

}  // namespace

extern "C" {

RPC_STATUS RPC_ENTRY RpcStringBindingComposeA(RPC_CSTR u, RPC_CSTR p, RPC_CSTR a, RPC_CSTR e, RPC_CSTR o, RPC_CSTR* out) {
  return Then(Log("Compose", u, p, a, e, o), [&] { *out = reinterpret_cast<RPC_CSTR>(strdup((Arg(p) + ":").c_str())); });
}
RPC_STATUS RPC_ENTRY RpcBindingFromStringBindingA(RPC_CSTR text, RPC_BINDING_HANDLE* binding) {
  return Then(Log("FromStringBinding", text), [&] { *binding = &fake_handle; });
}
RPC_STATUS RPC_ENTRY RpcStringFreeA(RPC_CSTR* text) {
  RPC_STATUS s = Log("StringFree", *text);
  std::free(*text);  // released whatever the status, as a runtime would
  *text = nullptr;
  return s;
}
RPC_STATUS RPC_ENTRY RpcBindingFree(RPC_BINDING_HANDLE* b) { return Then(Log("BindingFree", *b), [&] { *b = nullptr; }); }
RPC_STATUS RPC_ENTRY RpcServerInqBindings(RPC_BINDING_VECTOR** v) { return Then(Log("InqBindings"), [&] { *v = &fake_vector; }); }
RPC_STATUS RPC_ENTRY RpcBindingVectorFree(RPC_BINDING_VECTOR** v) { return Then(Log("VectorFree", *v), [&] { *v = nullptr; }); }
RPC_STATUS RPC_ENTRY RpcServerUseProtseqA(RPC_CSTR p, unsigned int n, void* s) { return Log("UseProtseq", p, n, s); }
RPC_STATUS RPC_ENTRY RpcServerRegisterIf(RPC_IF_HANDLE i, UUID* t, RPC_MGR_EPV* e) { return Log("RegisterIf", i, t, e); }
RPC_STATUS RPC_ENTRY RpcEpRegisterA(RPC_IF_HANDLE i, RPC_BINDING_VECTOR* v, UUID_VECTOR* o, RPC_CSTR a) {
  return Log("EpRegister", i, v, o, a);
}
RPC_STATUS RPC_ENTRY RpcServerListen(unsigned int t, unsigned int n, unsigned int w) { return Log("Listen", t, n, w); }
RPC_STATUS RPC_ENTRY RpcMgmtWaitServerListen() { return Log("WaitListen"); }
RPC_STATUS RPC_ENTRY RpcMgmtIsServerListening(RPC_BINDING_HANDLE b) { return Log("IsListening", b); }
RPC_STATUS RPC_ENTRY RpcMgmtStopServerListening(RPC_BINDING_HANDLE b) { return Log("StopListening", b); }
RPC_STATUS RPC_ENTRY RpcEpResolveBinding(RPC_BINDING_HANDLE b, RPC_IF_HANDLE i) { return Log("EpResolve", b, i); }
RPC_STATUS RPC_ENTRY RpcEpUnregister(RPC_IF_HANDLE i, RPC_BINDING_VECTOR* v, UUID_VECTOR* o) { return Log("EpUnregister", i, v, o); }
RPC_STATUS RPC_ENTRY RpcServerUnregisterIf(RPC_IF_HANDLE i, UUID* t, unsigned int w) { return Log("UnregisterIf", i, t, w); }
void WINAPI Sleep(DWORD milliseconds) { Log("Sleep", milliseconds); }

}  // extern "C"
