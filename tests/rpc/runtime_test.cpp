// The runtime under the RPC endpoints, for real: a server process and this
// one over TCP, UDP and AF_UNIX with endpoints found through rpcbind, and
// peers that misbehave: resends, half-closed connections, other RPC
// versions, half-sent and silent connections, a server killed and started
// again, a mapper that does not answer. Tests that need rpcbind skip when it
// does not answer; every wait is bounded and every child process is reaped.
#include <poll.h>
#include <signal.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/rpc.h"
#include "platform/posix/rpc/rpc_posix.h"
#include "probe.h"
#include "tests/child_process.h"

#include <rpc/rpcb_prot.h>  // after rpc/rpc.h, which it needs

namespace {

using brindle::testing::ChildProcess;
using Clock = std::chrono::steady_clock;
using Words = std::vector<std::uint32_t>;

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }
void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Skips a test when rpcbind is not there, judged without the runtime's own
// mapper code: a fault there fails the tests rather than skipping them.
bool RpcbindListens() {
  sockaddr_un address{AF_UNIX, _PATH_RPCBINDSOCK};
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool listens = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  return close(fd) == 0 && listens;
}
#define SKIP_UNLESS_MAPPER_ANSWERS() if (!RpcbindListens()) GTEST_SKIP() << "rpcbind is not there: start it (as root)"

// A program number of this test process's own, so that test runs side by
// side never meet in the mapper.
rpcprog_t TestProgram(unsigned int index) {
  return 0x2B000000u | ((static_cast<unsigned int>(getpid()) & 0xFFFFFu) << 2) | (index & 3u);
}

// An environment variable, set for one scope and the processes started in it.
struct ScopedVariable {
  ScopedVariable(char const* name, std::string const& value) : name(name) { setenv(name, value.c_str(), 1); }
  ~ScopedVariable() { unsetenv(name); }
  char const* name;
};

// The probe server process, started: "started 0" read.
std::unique_ptr<ChildProcess> StartServer(char const* protseq, rpcprog_t program) {
  auto server = std::make_unique<ChildProcess>(std::vector<std::string>{RPC_PROBE_SERVER, protseq, std::to_string(program)});
  std::string line;
  EXPECT_TRUE(server->ReadLine(&line, 20000) && line == "started 0") << line;
  return server;
}

// A loopback socket bound to a free port (listening, for a stream), and that port.
int BoundSocket(int type, std::string* port) {
  int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  if (type == SOCK_STREAM) listen(fd, 4);
  *port = std::to_string(ntohs(address.sin_port));
  return fd;
}

// A bound ARpcClient and its ONC RPC client for `program` (null when that fails).
struct Caller {
  Caller(char const* protseq, char const* address, char const* endpoint, char const* uuid = nullptr)
      : endpoint(U(protseq), &handle, 0, U(uuid), U(address), U(endpoint), nullptr) {}
  CLIENT* Client(rpcprog_t program, RPC_STATUS expected = RPC_S_OK, rpcvers_t version = PROBE_VERS) {
    RPC_INTERFACE const iface = {program, version, nullptr};
    CLIENT* client = nullptr;
    EXPECT_EQ(endpoint.start(), 0u) << endpoint.getStatusString();
    EXPECT_EQ(RpcBindingInqClient(handle, &iface, &client), expected);
    return client;
  }
  void* handle = nullptr;
  ARpcClient endpoint;
};

std::string Echo(CLIENT* client, std::string const& text, clnt_stat* status = nullptr) {
  char *argument = const_cast<char*>(text.c_str()), *echoed = nullptr;
  clnt_stat s = echo_1(&argument, &echoed, client);
  if (status != nullptr) *status = s;
  std::string result = s == RPC_SUCCESS ? echoed : "(failed)";
  xdr_free(reinterpret_cast<xdrproc_t>(xdr_text), reinterpret_cast<char*>(&echoed));
  return result;
}

// The address of the client's server, and a socket connected to it.
using Address = std::pair<sockaddr_storage, socklen_t>;
Address ServerOf(CLIENT* client) {
  netbuf address{};
  clnt_control(client, CLGET_SVC_ADDR, reinterpret_cast<char*>(&address));
  Address server{{}, address.len};
  std::memcpy(&server.first, address.buf, address.len);
  return server;
}
std::string PathOf(Address const& server) { return reinterpret_cast<sockaddr_un const*>(&server.first)->sun_path; }

int RawSocket(Address const& server, bool udp) {
  int fd = socket(server.first.ss_family, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr const*>(&server.first), server.second), 0);
  return fd;
}

// Sends a call of RUN with AUTH_NONE: a datagram, or a marked record.
void SendRun(int fd, bool udp, std::uint32_t xid, std::uint32_t rpc_version, rpcprog_t program, u_int ms) {
  std::uint32_t words[] = {htonl(0x80000000u | 44), htonl(xid), 0, htonl(rpc_version), htonl(program), htonl(PROBE_VERS),
                           htonl(RUN), 0, 0, 0, 0, htonl(ms)};
  send(fd, words + udp, sizeof words - 4 * udp, MSG_NOSIGNAL);
}

// The words of the next reply (its mark left out), or none within `ms`.
Words Reply(int fd, bool udp, int ms) {
  pollfd p{fd, POLLIN, 0};
  std::uint32_t buffer[64];
  ssize_t n = poll(&p, 1, ms) == 1 ? recv(fd, buffer, sizeof buffer, 0) : 0;
  Words words;
  for (ssize_t i = udp ? 0 : 1; i < n / 4; ++i) words.push_back(ntohl(buffer[i]));
  return words;
}

// Whether the server closes `fd` within `ms`.
bool Closed(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  char byte;
  return poll(&p, 1, ms) == 1 && recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
}

class RpcTwoProcesses : public ::testing::TestWithParam<char const*> {};

TEST_P(RpcTwoProcesses, ServeAnswerHostilePeersRecoverAndStop) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  char const* protseq = GetParam();
  bool const udp = protseq[3] == 'd', local = protseq[3] == 'l';
  char const* address = udp ? "127.0.0.1" : local ? nullptr : "localhost";  // a number, a name, none
  rpcprog_t program = TestProgram(udp + 2 * local);
  ScopedVariable loopback("BRINDLE_RPC_BIND_ADDRESS", "127.0.0.1");
  auto server = StartServer(protseq, program);
  Caller found(protseq, address, nullptr);  // no endpoint: found through rpcbind
  CLIENT* rpc = found.Client(program);
  ASSERT_TRUE(rpc != nullptr && found.Client(program) == rpc);
  EXPECT_EQ(found.Client(program, EPT_S_NOT_REGISTERED, PROBE_VERS + 1), nullptr);
  EXPECT_TRUE(Echo(rpc, std::string(60000, 'x')) == std::string(60000, 'x'));  // beyond libtirpc's UDP default
  identity caller{};  // AUTH_SYS is a claim: only the local socket vouches
  EXPECT_EQ(who_1(nullptr, &caller, rpc), RPC_SUCCESS);
  EXPECT_TRUE(local ? caller.known && caller.pid == getpid() && caller.uid == getuid() && caller.gid == getgid() : !caller.known);
  std::vector<brindle::detail::MapperEntry> mapped;
  brindle::detail::MapperDump({}, &mapped);
  for (auto const& e : mapped) EXPECT_TRUE(e.program != program || local || e.uaddr.rfind("127.0.0.1.", 0) == 0);

  std::string path = PathOf(ServerOf(rpc));
  int raw = RawSocket(ServerOf(rpc), udp);
  SendRun(raw, udp, 7, 3, program, 0);  // another RPC version: told so, the connection kept
  EXPECT_EQ(Reply(raw, udp, 2000), (Words{7, REPLY, MSG_DENIED, RPC_MISMATCH, 2, 2}));
  SendRun(raw, udp, 8, 2, program, 800);
  if (udp) {  // a resend while the call runs gets nothing; once it is done, its reply again
    Pause(100);
    SendRun(raw, udp, 8, 2, program, 800);
    Words first = Reply(raw, true, 3000);
    ASSERT_EQ(first.size(), 7u);
    EXPECT_TRUE(Reply(raw, true, 300).empty());
    SendRun(raw, udp, 8, 2, program, 800);
    EXPECT_EQ(Reply(raw, true, 2000), first);
    SendRun(raw, udp, 9, 2, program, 0);
    EXPECT_EQ(Reply(raw, true, 2000), (Words{9, REPLY, MSG_ACCEPTED, 0, 0, SUCCESS, first[6] + 1})) << "a resend ran";
  } else {  // a client that closes its side after sending still gets its reply
    shutdown(raw, SHUT_WR);
    EXPECT_EQ(Reply(raw, false, 3000).size(), 7u);
  }
  close(raw);

  // Killed and started again: its socket file is swept, and the same client
  // reaches the new server (the call meeting the broken connection may fail).
  kill(static_cast<pid_t>(server->id()), SIGKILL);
  server->Finish(5000);
  server = StartServer(protseq, program);
  EXPECT_TRUE(!local || access(path.c_str(), F_OK) != 0) << "the killed server's socket stayed";
  clnt_stat status = RPC_FAILED;
  for (int i = 0; i < 2 && status != RPC_SUCCESS; ++i) Echo(rpc, "again", &status);
  EXPECT_EQ(status, RPC_SUCCESS);
  path = PathOf(ServerOf(rpc));

  // Stopped, its calls fail at once, and it is gone from the mapper.
  server->Send("stop");
  std::string line;
  EXPECT_TRUE(server->ReadLine(&line, 10000) && line == "stopped 0") << line;
  auto start = Clock::now();
  EXPECT_TRUE(Echo(rpc, "late") == "(failed)" && Clock::now() - start < std::chrono::seconds(2)) << "it waited or worked";
  Caller late(protseq, address, nullptr);
  EXPECT_EQ(late.Client(program, EPT_S_NOT_REGISTERED), nullptr);
  EXPECT_TRUE(!local || access(path.c_str(), F_OK) != 0) << path;
  EXPECT_EQ(server->Finish(5000), 0);
}

INSTANTIATE_TEST_SUITE_P(RpcTransports, RpcTwoProcesses, ::testing::Values("ncacn_ip_tcp", "ncadg_ip_udp", "ncalrpc"),
                         [](auto const& info) { return std::string(info.index == 0 ? "Tcp" : info.index == 1 ? "Udp" : "Local"); });

TEST(RpcServerLimits, HostilePeersAreCutOffWhileCallsGoOn) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  ScopedVariable connections("BRINDLE_RPC_MAX_CONNECTIONS", "4"), idle("BRINDLE_RPC_IDLE_SECONDS", "4"),
      record("BRINDLE_RPC_MAX_RECORD", "100000"), buffered("BRINDLE_RPC_MAX_BUFFERED", "150000");
  auto server = StartServer("ncacn_ip_tcp", TestProgram(3));
  Caller caller("ncacn_ip_tcp", "127.0.0.1", nullptr);
  CLIENT* rpc = caller.Client(TestProgram(3));
  ASSERT_NE(rpc, nullptr);
  Address endpoint = ServerOf(rpc);
  auto partial = [&](std::uint32_t declared, std::size_t sent) {  // a record begun and never finished
    int fd = RawSocket(endpoint, false);
    std::uint32_t mark = htonl(0x80000000u | declared);
    send(fd, &mark, 4, MSG_NOSIGNAL | MSG_MORE);
    send(fd, std::string(sent, 'x').data(), sent, MSG_NOSIGNAL);
    Pause(200);
    return fd;
  };
  int too_large = partial(200000, 10), holding = partial(90000, 80000), beyond_all = partial(90000, 80000);
  EXPECT_TRUE(Closed(too_large, 1000) && Closed(beyond_all, 1000)) << "beyond a record's or all records' limit";
  std::vector<int> fds = {too_large, beyond_all, holding};
  for (int i = 0; i < 4; ++i) fds.push_back(RawSocket(endpoint, false));  // silent: the idlest make room
  // The third and fourth silent ones push out the two idlest: this client's connection, then the half record.
  EXPECT_TRUE(Closed(holding, 2000) && !Closed(fds.back(), 0)) << "not the idlest closed to make room for the newest";
  EXPECT_EQ(Echo(rpc, "still served"), "still served");
  for (int fd : fds) EXPECT_TRUE(Closed(fd, 6000)) << "an idle connection stayed";
  for (int fd : fds) close(fd);
}

std::atomic<int> begun{0}, done{0}, late_runs{0};  // late: RUN, sent only where the server closed first

void SlowDispatch(svc_req* request, SVCXPRT* transport) {
  ++begun;
  late_runs += request->rq_proc == RUN;
  Pause(600);
  ++done;
  svc_sendreply(transport, brindle::detail::XdrRoutine(xdr_void), nullptr);
}

// Two servers of one interface each remove their own registration; a server
// is not destroyed while its procedure runs; a request read from a connection
// closed to make room is not run, as its reply could not be sent.
TEST(RpcServerLifecycle, ServersSharingAnInterfaceStopAndOutliveTheirCalls) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  ScopedVariable connections("BRINDLE_RPC_MAX_CONNECTIONS", "2");
  RPC_INTERFACE iface = {TestProgram(0), PROBE_VERS, SlowDispatch};
  auto tcp = std::make_unique<ARpcServer>(U("ncacn_ip_tcp"), &iface, 0, 0, nullptr, 1, 1, nullptr);
  auto udp = std::make_unique<ARpcServer>(U("ncadg_ip_udp"), &iface, 0, 1, nullptr, 1, 1, nullptr);
  EXPECT_EQ(tcp->start(), 0u) << tcp->getStatusString();
  EXPECT_EQ(udp->start(), RPC_S_ALREADY_LISTENING) << udp->getStatusString();
  Caller caller("ncacn_ip_tcp", "127.0.0.1", nullptr);
  CLIENT* rpc = caller.Client(iface.program);
  Address endpoint = ServerOf(rpc);  // asked now: a call holds its client
  int idle = RawSocket(endpoint, false);
  std::thread call([&] { Echo(rpc, "slow"), Echo(rpc, "slow"); });  // the second's reply goes nowhere: the server stops
  for (int i = 0; i < 300 && begun == 0; ++i) Pause(10);
  // While the one thread serves: a third connection evicts the idle one, whose request is read after.
  int third = RawSocket(endpoint, false);
  Pause(100);
  SendRun(idle, false, 1, 2, iface.program, 0);
  for (int i = 0; i < 300 && begun < 2; ++i) Pause(10);
  EXPECT_EQ(tcp->stop(), 0u) << tcp->getStatusString();
  EXPECT_EQ(udp->stop(), 0u) << udp->getStatusString();
  tcp.reset();
  EXPECT_EQ(done.load(), begun.load()) << "the server was destroyed while its procedure ran";
  EXPECT_EQ(late_runs.load(), 0) << "a request from a connection already closed ran";
  call.join();
  for (int fd : {idle, third}) close(fd);
}

// A datagram call is resent after 1 s, then 2 s later..., with one xid; a
// missing server, and a mapper that refuses or stays silent, fail promptly.
TEST(RpcClientBinding, ResendsBackOffAndFailuresComePromptly) {
  std::string port, closed, silent;
  int fake = BoundSocket(SOCK_DGRAM, &port), listener = BoundSocket(SOCK_STREAM, &silent);
  close(BoundSocket(SOCK_STREAM, &closed));
  Caller caller("ncadg_ip_udp", "127.0.0.1", port.c_str());
  CLIENT* rpc = caller.Client(TestProgram(1));
  timeval total = {2, 500000};
  ASSERT_TRUE(clnt_control(rpc, CLSET_TIMEOUT, reinterpret_cast<char*>(&total)));
  clnt_stat status = RPC_SUCCESS;
  Echo(rpc, "x", &status);
  EXPECT_EQ(status, RPC_TIMEDOUT);
  std::vector<std::string> xids;
  for (char buffer[512]; recv(fake, buffer, sizeof buffer, MSG_DONTWAIT) >= 4;) xids.emplace_back(buffer, 4);
  ASSERT_EQ(xids.size(), 2u) << "sent at 0 s and 1 s; the next resend is due at 3 s";
  EXPECT_EQ(xids[0], xids[1]);
  Caller("ncacn_ip_tcp", "127.0.0.1", closed.c_str()).Client(TestProgram(1), RPC_S_SERVER_UNAVAILABLE);
  for (std::string const& mapper : {closed, silent}) {
    ScopedVariable variable("BRINDLE_RPC_ENDPOINT_MAPPER", "127.0.0.1:" + mapper);
    auto start = Clock::now();
    // What a server's registration meets, each attempt of which ARpcServer repeats.
    EXPECT_EQ(brindle::detail::MapperSet({TestProgram(1), 1, "tcp", "127.0.0.1.1.1", ""}), EPT_S_CANT_CREATE);
    Caller("ncacn_ip_tcp", "localhost", nullptr).Client(TestProgram(1), EPT_S_CANT_CREATE);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(7)) << mapper;
  }
  close(fake);
  close(listener);
}

// A string binding is judged whole when a client starts; a released handle is refused.
TEST(RpcClientBinding, StartJudgesTheWholeStringBindingAndInqClientItsHandle) {
  std::tuple<char const*, char const*, char const*, char const*, RPC_STATUS> const cases[] = {
      {"bogus", nullptr, nullptr, nullptr, RPC_S_INVALID_RPC_PROTSEQ},
      {"ncacn_np", nullptr, nullptr, nullptr, RPC_S_PROTSEQ_NOT_SUPPORTED},
      {"ncacn_ip_tcp", "not-a-uuid", nullptr, nullptr, RPC_S_INVALID_STRING_UUID},
      {"ncacn_ip_tcp", nullptr, "localhost", "http", RPC_S_INVALID_ENDPOINT_FORMAT},
      {"ncalrpc", nullptr, nullptr, "../escape", RPC_S_INVALID_ENDPOINT_FORMAT},
      {"ncalrpc", nullptr, "elsewhere.example", nullptr, RPC_S_INVALID_NET_ADDR},
      {"ncacn_ip_tcp", "12345678-1234-1234-1234-123456789abc", nullptr, "4000", RPC_S_OK},
  };
  for (auto const& [protseq, uuid, address, endpoint, status] : cases) {
    Caller caller(protseq, address, endpoint, uuid);
    EXPECT_EQ(caller.endpoint.start(), status) << caller.endpoint.getStatusString();
    EXPECT_EQ(caller.handle != nullptr, status == RPC_S_OK) << protseq;
  }
  RPC_INTERFACE const iface = {TestProgram(2), PROBE_VERS, nullptr};
  Caller caller("ncalrpc", "localhost", "some-name");
  CLIENT* rpc = nullptr;
  int not_a_handle = 0;
  ASSERT_EQ(caller.endpoint.start(), 0u);
  EXPECT_EQ(RpcBindingInqClient(caller.handle, nullptr, &rpc), RPC_S_INVALID_ARG);
  EXPECT_EQ(RpcBindingInqClient(&not_a_handle, &iface, &rpc), RPC_S_INVALID_BINDING);
  void* released = caller.handle;
  EXPECT_EQ(caller.endpoint.stop(), 0u);
  EXPECT_EQ(RpcBindingInqClient(released, &iface, &rpc), RPC_S_INVALID_BINDING);
}

}  // namespace
