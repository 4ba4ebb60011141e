// The endpoints step by step against the scripted runtime: every record's
// status, line, message and file, the start and stop state machines, the
// waits and the endpoint-mapper attempts, without a real runtime or real
// 3-second waits.
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

class Endpoints : public ::testing::Test {
 protected:
  void SetUp() override { script().Reset(); }
  void TearDown() override { script().Reset(); }
};

// --- The base -------------------------------------------------------------------

TEST_F(Endpoints, NullProtocolSequenceThrowsTheUserException) {
  void* handle = nullptr;
  EXPECT_THROW(ARpcClient(nullptr, &handle, 0, nullptr, nullptr, nullptr, nullptr), CUserException);
  try {
    ARpcServer server(nullptr, nullptr, 0, 0, nullptr, 1, 10, nullptr);
    FAIL() << "no exception";
  } catch (CException&) {
  }
  EXPECT_TRUE(script().Names().empty());
}

// --- The client ---------------------------------------------------------------------

TEST_F(Endpoints, NewClient) {
  void* handle = nullptr;
  ARpcClient client(U(""), &handle, 7, nullptr, nullptr, nullptr, nullptr);  // an empty text is accepted
  EXPECT_EQ(client.getStatus(), 0u);
  EXPECT_EQ(client.getStatusString(), Client("ARpcClient::ARpcClient", 0, 62));
  EXPECT_EQ(client.stop(), 0u);  // never started
  EXPECT_EQ(client.getStatusString(), Client("ARpcClient::stop", 0, 236));
  EXPECT_TRUE(script().Names().empty());
}

TEST_F(Endpoints, ClientStartAndStop) {
  void* handle = nullptr;
  ARpcClient client(U("ncacn_ip_tcp"), &handle, 0, nullptr, U("localhost"), nullptr, U("opt"));
  EXPECT_EQ(client.start(), 0u);
  EXPECT_EQ(client.getStatusString(), Client("Rpc client started successfully", 0, 185));
  EXPECT_NE(handle, nullptr);
  auto calls = script().calls;
  ASSERT_EQ(calls.size(), 2u);
  // Null parts reach the runtime as null; the endpoint precedes the options.
  EXPECT_EQ(calls[0].texts, (Names{"(null)", "ncacn_ip_tcp", "localhost", "(null)", "opt"}));
  EXPECT_EQ(calls[1].texts, (Names{"ncacn_ip_tcp:localhost"}));

  EXPECT_EQ(client.start(), 0u);  // bound: only recorded
  EXPECT_EQ(client.getStatusString(), Client("ARpcClient::start(", 0, 136));
  EXPECT_EQ(script().Names().size(), 2u);

  EXPECT_EQ(client.stop(), 0u);
  EXPECT_EQ(client.getStatusString(), Client("ARpcClient::stop", 0, 236));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(script().Names(), (Names{"Compose", "FromStringBinding", "StringFree", "BindingFree"}));

  EXPECT_EQ(client.start(), 0u);  // again, with a fresh string binding
  EXPECT_EQ(script().Count("Compose"), 2);
}

TEST_F(Endpoints, ClientFailures) {
  struct Row {
    char const* failing;
    int status;
    bool start;  // fails in start (else in stop)
    std::string record;
    Names calls;
  };
  std::vector<Row> rows = {
      {"Compose", 1704, true, Client("Error calling RpcStringBindingCompose", 1704, 157), {"Compose"}},
      {"FromStringBinding", 1700, true, Client("Error calling RpcBindingFromStringBinding", 1700, 175),
       {"Compose", "FromStringBinding", "StringFree"}},
      // The handle is released even when the string binding's release fails.
      {"StringFree", 1702, false, Client("Error calling RpcStringFree", 1702, 249),
       {"Compose", "FromStringBinding", "StringFree", "BindingFree"}},
      {"BindingFree", 1702, false, Client("Error calling RpcBindingFree", 1702, 258),
       {"Compose", "FromStringBinding", "StringFree", "BindingFree"}},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.failing);
    script().Reset();
    script().results[row.failing] = {row.status, 0};
    void* handle = nullptr;
    ARpcClient client(U("ncalrpc"), &handle, 0, nullptr, nullptr, U("ep"), nullptr);
    unsigned int result = client.start();
    if (!row.start) {
      ASSERT_EQ(result, 0u);
      result = client.stop();
    }
    EXPECT_EQ(result, static_cast<unsigned int>(row.status));
    EXPECT_EQ(client.getStatus(), result);
    EXPECT_EQ(client.getStatusString(), row.record);
    EXPECT_EQ(script().Names(), row.calls);
    // Either way the client is idle now: a stop only records.
    EXPECT_EQ(client.stop(), 0u);
    EXPECT_EQ(script().Names(), row.calls);
  }
}

TEST_F(Endpoints, ClientExceptionsBecomeStatus1766) {
  void* handle = nullptr;
  ARpcClient client(U("ncalrpc"), &handle, 0, nullptr, nullptr, nullptr, nullptr);
  script().throw_in = "FromStringBinding";
  EXPECT_EQ(client.start(), 1766u);
  EXPECT_EQ(client.getStatusString(), Client("Caught exception starting RPC client.", 1766, 195));
  script().throw_in.clear();
  ASSERT_EQ(client.start(), 0u);  // started stayed 0
  script().throw_in = "BindingFree";
  EXPECT_EQ(client.stop(), 1766u);
  EXPECT_EQ(client.getStatusString(), Client("Caught exception stopping RPC client.", 1766, 274));
  script().throw_in.clear();
  EXPECT_EQ(client.stop(), 0u);  // stopped: started was cleared
  EXPECT_EQ(script().Count("StringFree"), 2);  // the string binding of the failed start, then of the bound one
}

TEST_F(Endpoints, DestroyingABoundClientStopsIt) {
  void* handle = nullptr;
  {
    ARpcClient client(U("ncalrpc"), &handle, 0, U("uuid"), nullptr, nullptr, nullptr);
    ASSERT_EQ(client.start(), 0u);
  }
  EXPECT_EQ(script().Names(), (Names{"Compose", "FromStringBinding", "StringFree", "BindingFree"}));
  EXPECT_EQ(handle, nullptr);
}

// --- The server ---------------------------------------------------------------------

int test_interface;  // stands for an interface description

class Servers : public Endpoints {
 protected:
  ARpcServer Make(int dont_wait) {
    return ARpcServer(U("ncacn_ip_tcp"), &test_interface, 0, dont_wait, U("spare"), 2, 20, nullptr);
  }
};

TEST_F(Servers, NewServer) {
  ARpcServer server(U("ncacn_ip_tcp"), &test_interface, 0, 1, nullptr, 1, 10, nullptr);
  EXPECT_EQ(server.getStatus(), 0u);
  EXPECT_EQ(server.getStatusString(), Server("ARpcServer::ARpcServer", 0, 48));
}

TEST_F(Servers, StartWithoutWaitingAndStop) {
  ARpcServer server(U("ncacn_ip_tcp"), &test_interface, 0, 1, nullptr, 2, 20, U("security"));
  EXPECT_EQ(server.start(), 0u);
  EXPECT_EQ(server.getStatusString(), Server("RPC server started successfully", 0, 190));
  EXPECT_EQ(script().Names(),
            (Names{"Sleep", "UseProtseq", "RegisterIf", "InqBindings", "EpRegister", "Listen"}));
  auto calls = script().calls;
  EXPECT_EQ(script().sleeps, (std::vector<unsigned int>{3000}));  // before any runtime call
  // The security text is no security descriptor: the runtime gets none.
  EXPECT_EQ(calls[1].texts, (Names{"ncacn_ip_tcp", "(null)"}));
  EXPECT_EQ(calls[1].numbers[0], 20u);
  EXPECT_EQ(calls[2].pointer, &test_interface);
  EXPECT_EQ(calls[2].numbers[0], 1u);  // no manager type, no entry points
  EXPECT_EQ(calls[4].texts, (Names{""}));
  EXPECT_EQ(calls[4].numbers[0], 1u);
  EXPECT_EQ(calls[4].numbers[1], 1u);
  EXPECT_EQ(calls[5].numbers[0], 2u);
  EXPECT_EQ(calls[5].numbers[1], 20u);
  EXPECT_EQ(calls[5].numbers[2], 1u);

  script().Reset();
  EXPECT_EQ(server.stop(), 0u);
  EXPECT_EQ(server.getStatusString(), Server("ARpcServer::stop", 0, 242));
  EXPECT_EQ(script().Names(), (Names{"StopListening", "EpUnregister", "VectorFree", "UnregisterIf"}));
  EXPECT_EQ(script().calls[0].pointer, nullptr);
  EXPECT_EQ(script().calls[3].numbers[0], 0u);  // do not wait for calls in progress
}

TEST_F(Servers, ListeningOnAWorkerThread) {
  ARpcServer server = Make(0);
  EXPECT_EQ(server.start(), 0u);
  EXPECT_EQ(server.getStatusString(), Server("RPC server started successfully", 0, 190));
  // Listening has begun when start() returns, so a stop right after it is
  // not overtaken by the worker; the worker only waits on it.
  for (int i = 0; i < 500 && script().Count("WaitListen") == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::vector<brindle::testing::Call> calls;
  {
    std::lock_guard<std::mutex> lock(script().mutex);
    calls = script().calls;
  }
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[5].name, "Listen");
  EXPECT_EQ(calls[5].numbers[0], 2u);
  EXPECT_EQ(calls[5].numbers[1], 20u);
  EXPECT_EQ(calls[5].numbers[2], 1u);
  EXPECT_EQ(calls[6].name, "WaitListen");
  EXPECT_EQ(server.stop(), 0u);
}

TEST_F(Servers, NoWorkerWhenListeningFails) {
  script().results["Listen"] = {1714};
  ARpcServer server = Make(0);
  EXPECT_EQ(server.start(), 1714u);
  EXPECT_EQ(server.getStatusString(), Server("Error calling listen", 1714, 184));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(script().Count("WaitListen"), 0);
}

TEST_F(Servers, AlreadyListeningCountsAsStarted) {
  script().results["Listen"] = {1713};
  ARpcServer server = Make(1);
  EXPECT_EQ(server.start(), 1713u);
  EXPECT_EQ(server.getStatusString(), Server("RPC server started successfully", 1713, 190));
  script().Reset();
}  // started: destruction stops it

TEST_F(Servers, EndpointMapperRetries) {
  struct Row {
    std::deque<int> answers;
    unsigned int result;
    int attempts;
    std::vector<unsigned int> sleeps;
  };
  std::vector<Row> rows = {
      {{1899}, 1899, 5, {3000, 3000, 3000, 3000, 3000, 3000}},
      {{1753}, 1753, 1, {3000, 3000}},
      {{1899, 0}, 0, 2, {3000, 3000}},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.answers.front());
    script().Reset();
    script().results["EpRegister"] = row.answers;
    ARpcServer server = Make(1);
    script().observed = &server;
    EXPECT_EQ(server.start(), row.result);
    EXPECT_EQ(script().Count("EpRegister"), row.attempts);
    EXPECT_EQ(script().sleeps, row.sleeps);
    // Every failed attempt is recorded before its wait.
    for (std::size_t i = 1; i < script().records_at_sleep.size(); ++i) {
      EXPECT_EQ(script().records_at_sleep[i],
                Server("Error calling RpcEpRegister", static_cast<int>(row.answers.front()), 158));
    }
    if (row.result != 0) {
      EXPECT_EQ(server.getStatusString(), Server("Error calling RpcEpRegister", static_cast<int>(row.result), 166));
      EXPECT_EQ(script().Names().back(), "UnregisterIf");
      EXPECT_EQ(script().calls.back().pointer, &test_interface);
    } else {
      EXPECT_EQ(script().Names().back(), "Listen");
    }
    script().observed = nullptr;
    script().Reset();
  }
}

TEST_F(Servers, StartFailures) {
  // failing call, its status -> record, the calls made (the first Sleep aside)
  std::vector<std::tuple<char const*, int, std::string, Names>> rows = {
      {"UseProtseq", 1704, Server("Error calling RpcServerUseProtseq", 1704, 123), {"UseProtseq"}},
      {"RegisterIf", 1717, Server("Error calling RpcServerRegisterIf", 1717, 133), {"UseProtseq", "RegisterIf"}},
      {"InqBindings", 1702, Server("Error calling RpcServerInqBindings", 1702, 142),
       {"UseProtseq", "RegisterIf", "InqBindings", "UnregisterIf"}},
      // Only this server's interface is unregistered after a listen failure.
      {"Listen", 1725, Server("Error calling listen", 1725, 184),
       {"UseProtseq", "RegisterIf", "InqBindings", "EpRegister", "Listen", "UnregisterIf"}},
  };
  for (auto const& [failing, status, record, calls] : rows) {
    SCOPED_TRACE(failing);
    script().Reset();
    script().results[failing] = {status};
    {
      ARpcServer server = Make(1);
      EXPECT_EQ(server.start(), static_cast<unsigned int>(status));
      EXPECT_EQ(server.getStatusString(), record);
      Names made = script().Names();
      made.erase(made.begin());  // the opening wait
      EXPECT_EQ(made, calls);
      if (calls.back() == "UnregisterIf") {
        EXPECT_EQ(script().calls.back().pointer, &test_interface);
      }
      script().Reset();
    }
    // Not started: destruction runs no stop, only releases the vector that
    // a start failing after it was made has left.
    EXPECT_EQ(script().Names(), calls.size() > 4 ? Names{"VectorFree"} : Names{});
  }
}

TEST_F(Servers, StopCarriesOnWhenNotListening) {
  ARpcServer server = Make(1);
  ASSERT_EQ(server.start(), 0u);
  script().Reset();
  script().results["StopListening"] = {1715};
  EXPECT_EQ(server.stop(), 0u);
  EXPECT_EQ(script().Names(), (Names{"StopListening", "EpUnregister", "VectorFree", "UnregisterIf"}));
}

TEST_F(Servers, StopWithoutBindingsHandsTheRuntimeNoNullVector) {
  ARpcServer never = Make(1);
  EXPECT_EQ(never.stop(), 0u);
  EXPECT_EQ(script().Names(), (Names{"StopListening", "UnregisterIf"}));

  ARpcServer twice = Make(1);
  ASSERT_EQ(twice.start(), 0u);
  ASSERT_EQ(twice.stop(), 0u);
  script().Reset();
  EXPECT_EQ(twice.stop(), 0u);
  EXPECT_EQ(script().Names(), (Names{"StopListening", "UnregisterIf"}));
}

TEST_F(Servers, DestructionReleasesAVectorLeftByAFailedStart) {
  {
    script().results["EpRegister"] = {1753};
    ARpcServer server = Make(1);
    EXPECT_EQ(server.start(), 1753u);
    script().Reset();
  }
  EXPECT_EQ(script().Names(), (Names{"VectorFree"}));  // not started: no stop
}

TEST_F(Servers, FailedStopLeavesTheServerStarted) {
  std::vector<std::tuple<char const*, std::string>> rows = {
      {"StopListening", Server("Error calling RpcMgmtStopServerListening", 1702, 249)},
      {"EpUnregister", Server("Error calling RpcEpUnregister", 1702, 258)},
      {"VectorFree", Server("Error calling RpcBindingVectorFree", 1702, 268)},
      {"UnregisterIf", Server("Error calling RpcServerUnregisterIf", 1702, 277)},
  };
  for (auto const& [failing, record] : rows) {
    SCOPED_TRACE(failing);
    script().Reset();
    {
      ARpcServer server = Make(1);
      ASSERT_EQ(server.start(), 0u);
      script().results[failing] = {1702, 0};
      EXPECT_EQ(server.stop(), 1702u);
      EXPECT_EQ(server.getStatusString(), record);
      EXPECT_EQ(script().Count("StopListening"), 1);
    }
    EXPECT_EQ(script().Count("StopListening"), 2);  // destruction stopped it again
  }
}

TEST_F(Servers, ExceptionsBecomeStatus1766) {
  ARpcServer server = Make(1);
  script().throw_in = "RegisterIf";
  EXPECT_EQ(server.start(), 1766u);
  EXPECT_EQ(server.getStatusString(), Server("Caught exception starting RPC server", 1766, 201));
  script().throw_in.clear();
  ASSERT_EQ(server.start(), 0u);
  script().throw_in = "EpUnregister";
  EXPECT_EQ(server.stop(), 1766u);
  EXPECT_EQ(server.getStatusString(), Server("Caught exception stopping RPC server", 1766, 291));
  script().throw_in.clear();
  script().Reset();
}  // stopped by the exception: destruction runs no stop, the vector is the runtime's to lose

TEST_F(Servers, RestartReleasesTheReplacedBindingVector) {
  ARpcServer server = Make(1);
  ASSERT_EQ(server.start(), 0u);
  ASSERT_EQ(server.start(), 0u);
  EXPECT_EQ(script().Count("InqBindings"), 2);
  EXPECT_EQ(script().Count("VectorFree"), 1);
  EXPECT_EQ(server.stop(), 0u);
  EXPECT_EQ(script().Count("VectorFree"), 2);
}

}  // namespace
