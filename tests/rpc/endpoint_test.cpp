// The endpoints step by step against the scripted runtime: every record's
// status, line, message and file, the start and stop state machines, the
// waits and the endpoint-mapper attempts, without a real runtime or real
// 3-second waits.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/rpc.h"
#include "tests/rpc/scripted_runtime.h"

namespace {

using brindle::testing::script;
using Names = std::vector<std::string>;

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

std::string Record(char const* message, int status, int line, char const* file) {
  return std::string(message) + "  status: " + std::to_string(status) + " line: " + std::to_string(line) +
         " file: " + file;
}
std::string Client(char const* message, int status, int line) { return Record(message, status, line, ".\\rpcclient"); }
std::string Server(char const* message, int status, int line) { return Record(message, status, line, ".\\rpcserver"); }

// An operation returned `status`, which the endpoint recorded as `record`.
void Recorded(unsigned int result, ARpcController const& endpoint, int status, std::string const& record) {
  EXPECT_EQ(result, static_cast<unsigned int>(status));
  EXPECT_EQ(endpoint.getStatus(), static_cast<unsigned int>(status));
  EXPECT_EQ(endpoint.getStatusString(), record);
}

class Endpoints : public ::testing::Test {
 protected:
  void SetUp() override { script().Reset(); }
};

TEST_F(Endpoints, ClientStartAndStop) {
  void* handle = nullptr;
  EXPECT_THROW(ARpcClient(nullptr, &handle, 0, nullptr, nullptr, nullptr, nullptr), CUserException);
  {
    // 25 letters fill a heap block to its end: a copy short of its terminator overruns into the allocator's header.
    ARpcClient client(U("ncacn_ip_tcp"), &handle, 0, nullptr, U("host-name-of-25-letters.x"), nullptr, U("opt"));
    Recorded(client.stop(), client, 0, Client("ARpcClient::stop", 0, 236));  // never started: only recorded
    Recorded(client.start(), client, 0, Client("Rpc client started successfully", 0, 185));
    EXPECT_NE(handle, nullptr);
    Recorded(client.start(), client, 0, Client("ARpcClient::start(", 0, 136));  // bound: only recorded
    // Null parts reach the runtime as null; the endpoint precedes the options.
    EXPECT_EQ(script().Calls(true), (Names{"Compose((null),ncacn_ip_tcp,host-name-of-25-letters.x,(null),opt)",
                                           "FromStringBinding(ncacn_ip_tcp:)"}));
    Recorded(client.stop(), client, 0, Client("ARpcClient::stop", 0, 236));
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(client.start(), 0u);  // again, with a fresh string binding
  }  // destroying a bound client stops it
  EXPECT_EQ(script().Calls(), (Names{"Compose", "FromStringBinding", "StringFree", "BindingFree", "Compose",
                                     "FromStringBinding", "StringFree", "BindingFree"}));
  EXPECT_EQ(handle, nullptr);
}

TEST_F(Endpoints, ClientFailuresAndExceptions) {
  Names const bound = {"Compose", "FromStringBinding", "StringFree", "BindingFree"};
  // The failing call and its status (1766: it throws), whether it fails a start (else a stop), the record, the
  // calls made, and the calls the destructor adds (the string binding a start that threw left).
  std::tuple<char const*, int, bool, std::string, Names, std::size_t> const rows[] = {
      {"Compose", 1704, true, Client("Error calling RpcStringBindingCompose", 1704, 157), {"Compose"}, 0},
      {"FromStringBinding", 1700, true, Client("Error calling RpcBindingFromStringBinding", 1700, 175),
       {"Compose", "FromStringBinding", "StringFree"}, 0},
      // The handle is released even when the string binding's release fails.
      {"StringFree", 1702, false, Client("Error calling RpcStringFree", 1702, 249), bound, 0},
      {"FromStringBinding", 1766, true, Client("Caught exception starting RPC client.", 1766, 195),
       {"Compose", "FromStringBinding"}, 1},
  };
  for (auto const& [failing, status, in_start, record, calls, left] : rows) {
    SCOPED_TRACE(record);
    script().Reset();
    void* handle = nullptr;
    {
      ARpcClient client(U("ncalrpc"), &handle, 0, nullptr, nullptr, U("ep"), nullptr);
      script().throw_in = status == 1766 ? failing : "";
      script().results[failing] = {status, 0};
      unsigned int result = client.start();
      Recorded(in_start ? result : client.stop(), client, status, record);
      EXPECT_EQ(script().Calls(), calls);
      script().throw_in.clear();
      EXPECT_EQ(client.stop(), 0u);  // idle either way: a stop only records
    }
    EXPECT_EQ(script().Calls().size(), calls.size() + left);
  }
}

class Servers : public Endpoints {
 protected:
  ARpcServer Make(int dont_wait) {
    return ARpcServer(U("ncacn_ip_tcp"), &brindle::testing::test_interface, 0, dont_wait, U("spare"), 2, 20,
                      U("security"));
  }
};

TEST_F(Servers, StartAndStop) {
  ARpcServer server = Make(1);
  Recorded(server.stop(), server, 0, Server("ARpcServer::stop", 0, 242));  // never started: no null binding vector
  EXPECT_EQ(script().Calls(), (Names{"StopListening", "UnregisterIf"}));
  script().Reset();
  Recorded(server.start(), server, 0, Server("RPC server started successfully", 0, 190));
  // The wait comes before any runtime call; the security text is no security
  // descriptor, so the runtime gets none.
  EXPECT_EQ(script().Calls(true), (Names{"Sleep(3000)", "UseProtseq(ncacn_ip_tcp,20,null)", "RegisterIf(iface,null,null)",
                                         "InqBindings()", "EpRegister(iface,p,null,)", "Listen(2,20,1)"}));
  ASSERT_EQ(server.start(), 0u);
  EXPECT_EQ(script().Calls()[7], "VectorFree");  // a start on a serving server releases the replaced vector
  script().Reset();
  Recorded(server.stop(), server, 0, Server("ARpcServer::stop", 0, 242));
  EXPECT_EQ(script().Calls(true), (Names{"StopListening(null)", "EpUnregister(iface,p,null)", "VectorFree(p)",
                                         "UnregisterIf(iface,null,0)"}));  // not waiting for calls in progress
  script().results["StopListening"] = {1715};  // not listening: carried on
  EXPECT_EQ(server.stop(), 0u);
  EXPECT_EQ(script().Calls().size(), 6u);
}  // the runtime listens on (for another server): destruction does not wait

TEST_F(Servers, ListeningOnAWorkerThread) {
  ARpcServer server = Make(0);
  EXPECT_EQ(server.start(), 0u);
  // Listening has begun when start() returns, so a stop right after it is
  // not overtaken by the worker; the worker only waits on it.
  for (int i = 0; i < 500 && script().Calls().size() < 6; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(script().Calls(true).back(), "WaitListen()");
  script().Reset();
  script().results["Listen"] = {1714};
  Recorded(server.start(), server, 1714, Server("Error calling listen", 1714, 184));  // no worker when it fails
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(script().Calls().back(), "UnregisterIf");
}

// Only 1899 is tried again, five attempts in all, each failed one followed by a wait.
TEST_F(Servers, EndpointMapperRetries) {
  for (auto const& [answers, result, attempts] : {std::tuple{std::deque<int>{1899}, 1899, 5L}, {{1753}, 1753, 1L}, {{1899, 0}, 0, 2L}}) {
    script().Reset();
    script().results["EpRegister"] = answers;
    ARpcServer server = Make(1);
    Recorded(server.start(), server, result,
             result ? Server("Error calling RpcEpRegister", result, 166) : Server("RPC server started successfully", 0, 190));
    Names calls = script().Calls(true), made = script().Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Sleep(3000)"), attempts + (result != 0 ? 1 : 0));
    EXPECT_EQ(std::count(made.begin(), made.end(), "EpRegister"), attempts);
    EXPECT_EQ(made.back(), result != 0 ? "UnregisterIf" : "Listen");
  }
}

// A failing step records its status, undoes what its operation's rules say
// and leaves the server as it was: a failed stop leaves it started, so that
// destruction stops it again (an exception leaves it stopped). Destruction
// then waits for calls in progress, the runtime having stopped listening.
TEST_F(Servers, FailuresAndExceptions) {
  Names const wait = {"IsListening", "WaitListen"}, free = {"IsListening", "WaitListen", "VectorFree"};
  Names const stop_again = {"StopListening", "EpUnregister", "VectorFree", "UnregisterIf", "IsListening", "WaitListen"};
  // Whether a stop fails (else a start), the failing call and its status (1766: it throws), the record, the calls
  // made, and those of the destruction.
  std::tuple<bool, char const*, int, std::string, Names, Names> const rows[] = {
      {false, "RegisterIf", 1717, Server("Error calling RpcServerRegisterIf", 1717, 133), {"UseProtseq", "RegisterIf"}, wait},
      {false, "InqBindings", 1702, Server("Error calling RpcServerInqBindings", 1702, 142),
       {"UseProtseq", "RegisterIf", "InqBindings", "UnregisterIf"}, wait},
      // Only this server's interface is unregistered after a listen failure.
      {false, "Listen", 1725, Server("Error calling listen", 1725, 184),
       {"UseProtseq", "RegisterIf", "InqBindings", "EpRegister", "Listen", "UnregisterIf"}, free},
      {false, "RegisterIf", 1766, Server("Caught exception starting RPC server", 1766, 201), {"UseProtseq", "RegisterIf"}, wait},
      {true, "StopListening", 1702, Server("Error calling RpcMgmtStopServerListening", 1702, 249), {"StopListening"}, stop_again},
      {true, "EpUnregister", 1702, Server("Error calling RpcEpUnregister", 1702, 258), {"StopListening", "EpUnregister"}, stop_again},
      {true, "UnregisterIf", 1702, Server("Error calling RpcServerUnregisterIf", 1702, 277),
       {"StopListening", "EpUnregister", "VectorFree", "UnregisterIf"}, {"StopListening", "UnregisterIf", "IsListening", "WaitListen"}},
      {true, "EpUnregister", 1766, Server("Caught exception stopping RPC server", 1766, 291), {"StopListening", "EpUnregister"}, free},
  };
  for (auto const& [stop, failing, status, record, calls, destruction] : rows) {
    SCOPED_TRACE(record);
    script().Reset();
    {
      ARpcServer server = Make(1);
      EXPECT_EQ(stop ? server.start() : 0u, 0u);
      script().Reset();
      script().results[failing] = {status, 0};
      script().throw_in = status == 1766 ? failing : "";
      Recorded(stop ? server.stop() : server.start(), server, status, record);
      EXPECT_EQ(script().Calls(), calls);
      EXPECT_TRUE(calls.back() != "UnregisterIf" || script().Calls(true).back() == "UnregisterIf(iface,null,0)");
      script().Reset();
      script().results["IsListening"] = {1715};
    }
    EXPECT_EQ(script().Calls(), destruction);
  }
}

}  // namespace
