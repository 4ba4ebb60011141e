// The runtime under the RPC endpoints, for real: a server process and this
// one talking over TCP, UDP and AF_UNIX with endpoints found through
// rpcbind, calls served concurrently, calls failing at once after a stop,
// and the endpoint mapper's failures. Tests that need rpcbind skip when it
// does not answer; every wait is bounded and every child process is reaped.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/rpc.h"
#include "platform/posix/rpc/rpc_posix.h"
#include "probe.h"
#include "tests/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool MapperAnswers() {
  std::vector<brindle::detail::MapperEntry> entries;
  return brindle::detail::MapperDump(brindle::detail::MapperTarget{}, &entries) == RPC_S_OK;
}

#define SKIP_UNLESS_MAPPER_ANSWERS()                                                                \
  do {                                                                                              \
    if (!MapperAnswers()) {                                                                         \
      GTEST_SKIP() << "rpcbind does not answer: start it (as root: rpcbind) to run this test";     \
    }                                                                                               \
  } while (0)

// A program number of this test process's own, so that test runs side by
// side never meet in the mapper.
rpcprog_t TestProgram(unsigned int index) {
  return 0x2B000000u | ((static_cast<unsigned int>(getpid()) & 0xFFFFFu) << 2) | (index & 3u);
}

// Refuses every call: for servers that are never called.
void NoCalls(svc_req*, SVCXPRT* transport) { svcerr_noproc(transport); }

using brindle::testing::ChildProcess;

// An environment variable, set for one scope.
class ScopedVariable {
 public:
  ScopedVariable(char const* name, std::string const& value) : name_(name) {
    char const* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ScopedVariable(ScopedVariable const&) = delete;
  ScopedVariable& operator=(ScopedVariable const&) = delete;
  ~ScopedVariable() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  char const* name_;
  bool had_ = false;
  std::string old_;
};

// A loopback TCP port where nothing listens.
unsigned int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// The endpoint a client is connected to: the port, or the socket path.
std::string EndpointOf(CLIENT* client) {
  netbuf address{};
  if (!clnt_control(client, CLGET_SVC_ADDR, reinterpret_cast<char*>(&address))) return {};
  sockaddr const* socket = static_cast<sockaddr const*>(address.buf);
  if (socket->sa_family == AF_UNIX) return reinterpret_cast<sockaddr_un const*>(socket)->sun_path;
  return std::to_string(ntohs(reinterpret_cast<sockaddr_in const*>(socket)->sin_port));
}

std::string Echo(CLIENT* client, char const* text, clnt_stat* status = nullptr) {
  char* argument = const_cast<char*>(text);
  char* echoed = nullptr;
  clnt_stat s = echo_1(&argument, &echoed, client);
  if (status != nullptr) *status = s;
  std::string result = s == RPC_SUCCESS && echoed != nullptr ? echoed : "(failed)";
  if (s == RPC_SUCCESS) xdr_free(reinterpret_cast<xdrproc_t>(xdr_wrapstring), reinterpret_cast<char*>(&echoed));
  return result;
}

// A bound client with its handle and its ONC RPC client for `iface`.
struct Caller {
  Caller(char const* protseq, char const* address, char const* endpoint)
      : endpoint(U(protseq), &handle, 0, nullptr, U(address), endpoint != nullptr ? U(endpoint) : nullptr, nullptr) {}
  void* handle = nullptr;
  ARpcClient endpoint;
};

struct Transport {
  char const* name;
  char const* protseq;
  char const* address;
  unsigned int index;
};

void PrintTo(Transport const& transport, std::ostream* out) { *out << transport.name; }

class RpcTwoProcesses : public ::testing::TestWithParam<Transport> {};

TEST_P(RpcTwoProcesses, ResolveCallConcurrentlyAndFailPromptlyAfterStop) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  Transport const& t = GetParam();
  rpcprog_t program = TestProgram(t.index);
  ChildProcess server({RPC_PROBE_SERVER, t.protseq, std::to_string(program), "0"});
  std::string line;
  ASSERT_TRUE(server.ReadLine(&line, 20000)) << "the server process did not start";
  ASSERT_EQ(line, "started 0");
  RPC_INTERFACE const iface = {program, PROBE_VERS, nullptr};

  // No endpoint: found through rpcbind on the first call.
  Caller found(t.protseq, t.address, nullptr);
  ASSERT_EQ(found.endpoint.start(), 0u) << found.endpoint.getStatusString();
  CLIENT* rpc = nullptr;
  ASSERT_EQ(RpcBindingInqClient(found.handle, &iface, &rpc), RPC_S_OK);
  CLIENT* again = nullptr;
  EXPECT_EQ(RpcBindingInqClient(found.handle, &iface, &again), RPC_S_OK);
  EXPECT_EQ(again, rpc);
  EXPECT_EQ(Echo(rpc, "ping"), "ping");
  EXPECT_EQ(Echo(rpc, ""), "");
  addends operands{INT_MAX, 1};
  int sum = 0;
  ASSERT_EQ(add_1(&operands, &sum, rpc), RPC_SUCCESS);
  EXPECT_EQ(sum, INT_MIN);

  // The same server at its endpoint named outright.
  std::string endpoint = EndpointOf(rpc);
  ASSERT_FALSE(endpoint.empty());
  Caller direct(t.protseq, t.address, endpoint.c_str());
  ASSERT_EQ(direct.endpoint.start(), 0u) << direct.endpoint.getStatusString();
  CLIENT* direct_rpc = nullptr;
  ASSERT_EQ(RpcBindingInqClient(direct.handle, &iface, &direct_rpc), RPC_S_OK);
  EXPECT_EQ(Echo(direct_rpc, "pong"), "pong");

  // Four clients pausing 500 ms each: served side by side, not one by one.
  auto start = Clock::now();
  std::vector<std::thread> threads;
  std::vector<clnt_stat> results(4, RPC_FAILED);
  for (std::size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&, i] {
      Caller caller(t.protseq, t.address, nullptr);
      CLIENT* client = nullptr;
      if (caller.endpoint.start() != 0 || RpcBindingInqClient(caller.handle, &iface, &client) != RPC_S_OK) return;
      u_int milliseconds = 500;
      results[i] = pause_1(&milliseconds, nullptr, client);
    });
  }
  for (auto& thread : threads) thread.join();
  double elapsed = SecondsSince(start);
  for (clnt_stat s : results) EXPECT_EQ(s, RPC_SUCCESS);
  EXPECT_LT(elapsed, 1.5) << "four 500 ms calls were not served concurrently";

  // Stopped, the server's calls fail at once, though its process lives on.
  server.Send("stop");
  ASSERT_TRUE(server.ReadLine(&line, 10000));
  EXPECT_EQ(line, "stopped 0");
  start = Clock::now();
  clnt_stat status = RPC_SUCCESS;
  Echo(rpc, "late", &status);
  EXPECT_NE(status, RPC_SUCCESS);
  EXPECT_LT(SecondsSince(start), 2.0) << "a call to a stopped server waited for its timeout";
  Echo(rpc, "later", &status);  // a broken stream raises SIGPIPE, which must not end this process
  EXPECT_NE(status, RPC_SUCCESS);
  Echo(direct_rpc, "late", &status);
  EXPECT_NE(status, RPC_SUCCESS);

  // Gone from the mapper, and its socket file removed.
  Caller late(t.protseq, t.address, nullptr);
  ASSERT_EQ(late.endpoint.start(), 0u);
  CLIENT* late_rpc = nullptr;
  EXPECT_EQ(RpcBindingInqClient(late.handle, &iface, &late_rpc), EPT_S_NOT_REGISTERED);
  if (endpoint.front() == '/') {
    EXPECT_NE(access(endpoint.c_str(), F_OK), 0) << endpoint;
  }

  EXPECT_EQ(server.Finish(5000), 0);
}

INSTANTIATE_TEST_SUITE_P(RpcTransports, RpcTwoProcesses,
                         ::testing::Values(Transport{"Tcp", "ncacn_ip_tcp", "localhost", 0},
                                           Transport{"Udp", "ncadg_ip_udp", "127.0.0.1", 1},
                                           Transport{"Local", "ncalrpc", nullptr, 2}),
                         [](::testing::TestParamInfo<Transport> const& info) { return info.param.name; });

// With dontWait 0 the listening worker may not have begun when stop comes:
// the stop must not be lost, leaving the process listening.
TEST(RpcServerLifecycle, StopRightAfterStartLeavesNothingListening) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  RPC_INTERFACE iface = {TestProgram(3), 1, NoCalls};
  {
    ARpcServer server(U("ncacn_ip_tcp"), &iface, 0, 0, nullptr, 1, 4, nullptr);
    ASSERT_EQ(server.start(), 0u) << server.getStatusString();
    EXPECT_EQ(server.stop(), 0u) << server.getStatusString();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // whatever the worker was about to do is done
  // Were the process still listening, this listen would answer 1713.
  ARpcServer server(U("ncacn_ip_tcp"), &iface, 0, 1, nullptr, 1, 4, nullptr);
  EXPECT_EQ(server.start(), 0u) << server.getStatusString();
  EXPECT_EQ(server.stop(), 0u) << server.getStatusString();
}

// The one test that spends the real waits: 3 s before the first step and
// 3 s after each of the five attempts.
TEST(RpcEndpointMapper, UnreachableMapperFailsAStartWith1899AfterFiveAttempts) {
  ScopedVariable mapper("BRINDLE_RPC_ENDPOINT_MAPPER", "127.0.0.1:" + std::to_string(ClosedPort()));
  RPC_INTERFACE iface = {TestProgram(0), 1, NoCalls};
  ARpcServer server(U("ncacn_ip_tcp"), &iface, 0, 1, nullptr, 1, 4, nullptr);
  auto start = Clock::now();
  EXPECT_EQ(server.start(), static_cast<unsigned int>(EPT_S_CANT_CREATE));
  double elapsed = SecondsSince(start);
  EXPECT_STREQ(server.getStatusString(), "Error calling RpcEpRegister  status: 1899 line: 166 file: .\\rpcserver");
  EXPECT_GE(elapsed, 17.9);
  EXPECT_LT(elapsed, 30.0) << "the mapper's refusals were slow to come";
  server.stop();  // releases the endpoint and the binding vector
}

TEST(RpcEndpointMapper, SilentMapperGives1899WithinThreeSeconds) {
  // Accepts connections (the kernel does) and never answers.
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  ScopedVariable mapper("BRINDLE_RPC_ENDPOINT_MAPPER", "127.0.0.1:" + std::to_string(ntohs(address.sin_port)));

  RPC_INTERFACE const iface = {TestProgram(1), 1, nullptr};
  Caller caller("ncacn_ip_tcp", "localhost", nullptr);
  ASSERT_EQ(caller.endpoint.start(), 0u);
  CLIENT* rpc = nullptr;
  auto start = Clock::now();
  EXPECT_EQ(RpcBindingInqClient(caller.handle, &iface, &rpc), EPT_S_CANT_CREATE);
  EXPECT_LT(SecondsSince(start), 3.5);
  close(listener);
}

TEST(RpcClientBinding, StartJudgesTheWholeStringBinding) {
  struct Case {
    char const *protseq, *uuid, *address, *endpoint;
    unsigned int status;
    int line;
  } const cases[] = {
      {"bogus", nullptr, nullptr, nullptr, RPC_S_INVALID_RPC_PROTSEQ, 175},
      {"", nullptr, nullptr, nullptr, RPC_S_INVALID_RPC_PROTSEQ, 175},
      {"ncacn_np", nullptr, nullptr, nullptr, RPC_S_PROTSEQ_NOT_SUPPORTED, 175},
      {"ncacn_ip_tcp", "not-a-uuid", nullptr, nullptr, RPC_S_INVALID_STRING_UUID, 175},
      {"ncacn_ip_tcp", "a@b", nullptr, nullptr, RPC_S_INVALID_STRING_BINDING, 157},
      {"ncacn_ip_tcp", nullptr, "localhost", "http", RPC_S_INVALID_ENDPOINT_FORMAT, 175},
      {"ncadg_ip_udp", nullptr, "localhost", "65536", RPC_S_INVALID_ENDPOINT_FORMAT, 175},
      {"ncalrpc", nullptr, nullptr, "../escape", RPC_S_INVALID_ENDPOINT_FORMAT, 175},
      {"ncalrpc", nullptr, "elsewhere.example", nullptr, RPC_S_INVALID_NET_ADDR, 175},
      {"ncacn_ip_tcp", "12345678-1234-1234-1234-123456789abc", "127.0.0.1", "4000", 0, 185},
      {"ncadg_ip_udp", nullptr, nullptr, "4000", 0, 185},
      {"ncalrpc", nullptr, "localhost", "some-name", 0, 185},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(std::string(c.protseq) + " " + (c.uuid ? c.uuid : "") + " " + (c.address ? c.address : "") + " " +
                 (c.endpoint ? c.endpoint : ""));
    void* handle = nullptr;
    ARpcClient client(U(c.protseq), &handle, 0, U(c.uuid), U(c.address), U(c.endpoint), nullptr);
    EXPECT_EQ(client.start(), c.status);
    EXPECT_EQ(client.getStatus(), c.status);
    EXPECT_NE(std::string(client.getStatusString()).find(" line: " + std::to_string(c.line) + " "), std::string::npos)
        << client.getStatusString();
    EXPECT_EQ(handle != nullptr, c.status == 0);
  }
}

TEST(RpcClientBinding, InqClientRefusesBadArgumentsAndUnreachableServers) {
  RPC_INTERFACE const iface = {TestProgram(2), 1, nullptr};
  std::string port = std::to_string(ClosedPort());
  Caller caller("ncacn_ip_tcp", "127.0.0.1", port.c_str());
  ASSERT_EQ(caller.endpoint.start(), 0u);
  CLIENT* rpc = nullptr;
  EXPECT_EQ(RpcBindingInqClient(caller.handle, nullptr, &rpc), RPC_S_INVALID_ARG);
  EXPECT_EQ(RpcBindingInqClient(caller.handle, &iface, nullptr), RPC_S_INVALID_ARG);
  int not_a_handle = 0;
  EXPECT_EQ(RpcBindingInqClient(&not_a_handle, &iface, &rpc), RPC_S_INVALID_BINDING);
  EXPECT_EQ(RpcBindingInqClient(caller.handle, &iface, &rpc), RPC_S_SERVER_UNAVAILABLE);
  void* released = caller.handle;
  EXPECT_EQ(caller.endpoint.stop(), 0u);
  EXPECT_EQ(caller.handle, nullptr);
  EXPECT_EQ(RpcBindingInqClient(released, &iface, &rpc), RPC_S_INVALID_BINDING);
}

}  // namespace
