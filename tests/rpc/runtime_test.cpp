// The runtime under the RPC endpoints, for real: a server process and this
// one over TCP, UDP and AF_UNIX with endpoints found through rpcbind, and
// peers that misbehave: resends, half-closed connections, other RPC
// versions, half-sent and silent connections, a server killed and started
// again, a mapper that does not answer. Tests that need rpcbind skip when it
// does not answer; every wait is bounded and every child process is reaped.

#include "brindle/rpc.h"
#include "platform/posix/rpc/rpc_posix.h"
#include "probe.h"
#include "tests/child_process.h"
#include "tests/portable.h"

#include <rpc/rpcb_prot.h>  // after rpc/rpc.h, which it needs

// The probe interface's procedures.
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
rpcprog_t TestProgram(unsigned int index) { return 0x2B000000u | ((getpid() & 0xFFFFFu) << 2) | (index & 3u); }

// An environment variable, set for one scope and the processes started in it.
struct ScopedVariable {
  ScopedVariable(char const* name, std::string const& value) : name(name) { setenv(name, value.c_str(), 1); }
  ~ScopedVariable() { unsetenv(name); }
  char const* name;
};

// Started again with BRINDLE_RPC_SERVE="<protseq> <program>", this program
// is the server process: it serves the probe interface, prints "started
// <status>", then at each "stop" on its input "stopped <status>", and ends
// with its input, destroying the server.
[[maybe_unused]] int const serving = [] {
  char const* serve = std::getenv("BRINDLE_RPC_SERVE");
  char protseq[32] = "";
  unsigned long program = 0;
  if (serve == nullptr || std::sscanf(serve, "%31s %lu", protseq, &program) != 2) return 0;
  {
    static RPC_INTERFACE iface = {static_cast<rpcprog_t>(program), PROBE_VERS, probe_prog_1};
    ARpcServer server(U(protseq), &iface, 0, 1, nullptr, 1, 8, nullptr);
    std::cout << "started " << server.start() << std::endl;
    for (std::string command; std::getline(std::cin, command);) {
      if (command == "stop") std::cout << "stopped " << server.stop() << std::endl;
    }
  }
  std::exit(0);
}();

// The probe server process, started: "started 0" read.
std::unique_ptr<ChildProcess> StartServer(char const* protseq, rpcprog_t program) {
  ScopedVariable serve("BRINDLE_RPC_SERVE", std::string(protseq) + " " + std::to_string(program));
  auto server = std::make_unique<ChildProcess>(std::vector<std::string>{brindle::testing::ProgramPath()});
  std::string line;
  EXPECT_TRUE(server->ReadLine(&line, 20000) && line == "started 0") << line;
  return server;
}

// A loopback datagram socket bound to a free port, and that port.
int BoundSocket(std::string* port, int type = SOCK_DGRAM) {
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

// A peer of the server that writes its records word by word.
struct Raw {
  Raw(Address const& server, bool udp)
      : udp(udp), fd(socket(server.first.ss_family, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0)) {
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr const*>(&server.first), server.second), 0);
  }
  ~Raw() { close(fd); }
  // A datagram, or a record whose mark declares `length` bytes (its own length when 0).
  void Send(Words words, std::uint32_t length = 0) {
    words.insert(words.begin(), 0x80000000u | (length != 0 ? length : 4 * static_cast<std::uint32_t>(words.size())));
    for (std::uint32_t& word : words) word = htonl(word);
    send(fd, words.data() + udp, 4 * (words.size() - udp), MSG_NOSIGNAL);
  }
  void Run(std::uint32_t xid, std::uint32_t rpc_version, rpcprog_t program, u_int ms) {  // with AUTH_NONE
    Send({xid, CALL, rpc_version, program, PROBE_VERS, RUN, 0, 0, 0, 0, ms});
  }
  // The words of the next reply (its mark left out), or none within `ms`.
  Words Reply(int ms) {
    pollfd p{fd, POLLIN, 0};
    std::uint32_t buffer[64];
    ssize_t n = poll(&p, 1, ms) == 1 ? recv(fd, buffer, sizeof buffer, 0) : 0;
    Words words;
    for (ssize_t i = udp ? 0 : 1; i < n / 4; ++i) words.push_back(ntohl(buffer[i]));
    return words;
  }
  bool Closed(int ms) {  // by the server, within `ms`
    pollfd p{fd, POLLIN, 0};
    char byte;
    return poll(&p, 1, ms) == 1 && recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
  }
  bool const udp;
  int const fd;
};

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
  EXPECT_TRUE(Echo(rpc, std::string(60000, 'x')) == std::string(60000, 'x'));  // beyond libtirpc's UDP default
  int caller = -1;  // AUTH_SYS is a claim: only the local socket vouches
  EXPECT_EQ(who_1(nullptr, &caller, rpc), RPC_SUCCESS);
  EXPECT_EQ(caller, local ? getpid() : 0);
  std::vector<brindle::detail::MapperEntry> mapped;
  brindle::detail::MapperDump({}, &mapped);
  for (auto const& e : mapped) EXPECT_TRUE(e.program != program || local || e.uaddr.rfind("127.0.0.1.", 0) == 0);

  std::string path = PathOf(ServerOf(rpc));
  Raw raw(ServerOf(rpc), udp);
  raw.Run(7, 3, program, 0);  // another RPC version: told so, the connection kept
  EXPECT_EQ(raw.Reply(2000), (Words{7, REPLY, MSG_DENIED, RPC_MISMATCH, 2, 2}));
  raw.Run(6, 2, program + 4, 0);  // a program not served here: told so, the connection kept
  EXPECT_EQ(raw.Reply(2000), (Words{6, REPLY, MSG_ACCEPTED, 0, 0, PROG_UNAVAIL}));
  raw.Run(8, 2, program, 800);
  if (udp) {  // a resend while the call runs gets nothing; once it is done, its reply again
    Pause(100);
    raw.Run(8, 2, program, 800);
    Words first = raw.Reply(3000);
    ASSERT_EQ(first.size(), 7u);
    EXPECT_TRUE(raw.Reply(300).empty());
    raw.Run(8, 2, program, 800);
    EXPECT_EQ(raw.Reply(2000), first);
    raw.Run(9, 2, program, 0);
    EXPECT_EQ(raw.Reply(2000), (Words{9, REPLY, MSG_ACCEPTED, 0, 0, SUCCESS, first[6] + 1})) << "a resend ran";
  } else {  // a client that closes its side after sending still gets its reply
    shutdown(raw.fd, SHUT_WR);
    EXPECT_EQ(raw.Reply(3000).size(), 7u);
  }

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
}

INSTANTIATE_TEST_SUITE_P(RpcTransports, RpcTwoProcesses, ::testing::Values("ncacn_ip_tcp", "ncadg_ip_udp", "ncalrpc"));

TEST(RpcServerLimits, HostilePeersAreCutOffWhileCallsGoOn) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  ScopedVariable connections("BRINDLE_RPC_MAX_CONNECTIONS", "4"), idle("BRINDLE_RPC_IDLE_SECONDS", "4"),
      record("BRINDLE_RPC_MAX_RECORD", "100000"), buffered("BRINDLE_RPC_MAX_BUFFERED", "150000");
  auto server = StartServer("ncacn_ip_tcp", TestProgram(3));
  Caller caller("ncacn_ip_tcp", "127.0.0.1", nullptr);
  CLIENT* rpc = caller.Client(TestProgram(3));
  Address endpoint = ServerOf(rpc);
  std::deque<Raw> peers;
  for (auto [declared, words] : {std::pair{200000u, 3}, {90000u, 20000}, {90000u, 20000}}) {  // records never finished
    peers.emplace_back(endpoint, false).Send(Words(words, 0x78787878u), declared);
    Pause(200);
  }
  EXPECT_TRUE(peers[0].Closed(1000) && peers[2].Closed(1000)) << "beyond a record's or all records' limit";
  for (int i = 0; i < 4; ++i) peers.emplace_back(endpoint, false);  // silent: the idlest make room
  // The third and fourth silent ones push out the two idlest: this client's connection, then the half record.
  EXPECT_TRUE(peers[1].Closed(2000) && !peers.back().Closed(0)) << "not the idlest closed to make room for the newest";
  EXPECT_EQ(Echo(rpc, "still served"), "still served");
  Raw busy(endpoint, false);  // a call running past the idle limit keeps its connection
  busy.Run(5, 2, TestProgram(3), 5500);
  for (Raw& peer : peers) EXPECT_TRUE(peer.Closed(6000)) << "an idle connection stayed";
  EXPECT_EQ(busy.Reply(4000).size(), 7u) << "a connection was closed while its call ran";
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
  Raw idle(endpoint, false);
  std::thread call([&] { Echo(rpc, "slow"), Echo(rpc, "slow"); });  // the second's reply goes nowhere: the server stops
  for (int i = 0; i < 300 && begun == 0; ++i) Pause(10);
  // While the one thread serves: a third connection evicts the idle one, whose request is read after.
  Raw third(endpoint, false);
  Pause(100);
  idle.Run(1, 2, iface.program, 0);
  for (int i = 0; i < 300 && begun < 2; ++i) Pause(10);
  EXPECT_EQ(tcp->stop(), 0u) << tcp->getStatusString();
  EXPECT_EQ(udp->stop(), 0u) << udp->getStatusString();
  tcp.reset();
  EXPECT_EQ(done.load(), begun.load()) << "the server was destroyed while its procedure ran";
  EXPECT_EQ(late_runs.load(), 0) << "a request from a connection already closed ran";
  call.join();
}

// A mapper that comes up late (its socket appears while the server starts):
// the start's retries ride it out and its history shows each refused
// attempt; the mapper wait times out before and answers after.
TEST(RpcServerLifecycle, MapperThatComesUpLate) {
  SKIP_UNLESS_MAPPER_ANSWERS();
  std::string const mapper = std::filesystem::temp_directory_path() / ("brindle-mapper-" + std::to_string(getpid()));
  ScopedVariable configured("BRINDLE_RPC_ENDPOINT_MAPPER", mapper);
  RPC_INTERFACE iface = {TestProgram(1), PROBE_VERS, probe_prog_1};
  ARpcServer server(U("ncacn_ip_tcp"), &iface, 0, 1, nullptr, 1, 4, nullptr);
  server.setRetries(100, 50);
  EXPECT_EQ(server.waitForEndpointMapper(120), static_cast<unsigned int>(EPT_S_CANT_CREATE));
  std::thread late([&] {
    Pause(300);
    symlink(_PATH_RPCBINDSOCK, mapper.c_str());
  });
  EXPECT_EQ(server.start(), 0u) << server.getStatusString();
  late.join();
  std::vector<ARpcController::StatusRecord> const history = server.getStatusHistory();
  ASSERT_GE(history.size(), 4u);
  EXPECT_TRUE(history[1].status == 0 && history[2].status == EPT_S_CANT_CREATE &&
              history[history.size() - 2].status == EPT_S_CANT_CREATE && history.back().status == 0 &&
              history.back().time - history[2].time >= std::chrono::milliseconds(150)) << history.back().text;
  EXPECT_EQ(server.waitForEndpointMapper(0), 0u);
  EXPECT_EQ(server.stop(), 0u) << server.getStatusString();
  unlink(mapper.c_str());
}

// A datagram call is resent after 1 s, then 2 s later..., with one xid; a
// stream peer that hangs up mid-call fails the call alone; a string binding
// is judged whole when a client starts; a released handle is refused.
TEST(RpcClientBinding, ResendsBackOffAndStartJudgesTheWholeBinding) {
  std::string port;
  int fake = BoundSocket(&port);
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
  close(fake);
  // A peer that hangs up in the middle of a call: its reset finds this side
  // half-closed, so the next write raises SIGPIPE, which must not end this
  // process. The peer always ends, its reset and close bounding the call.
  std::string sink;
  int const hangs_up = BoundSocket(&sink, SOCK_STREAM);
  std::thread peer([hangs_up] {
    pollfd p{hangs_up, POLLIN, 0};
    int const fd = poll(&p, 1, 5000) == 1 ? accept(hangs_up, nullptr, nullptr) : -1;
    timeval const wait = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[65536];
    for (ssize_t n = 1, got = 0; n > 0 && got < 1 << 20; got += n) n = recv(fd, buffer, sizeof buffer, 0);
    linger const reset = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    shutdown(fd, SHUT_WR);
    close(fd);
    close(hangs_up);
  });
  Caller hung_up("ncacn_ip_tcp", "127.0.0.1", sink.c_str());
  Echo(hung_up.Client(TestProgram(1)), std::string(16 << 20, 'x'), &status);
  peer.join();
  EXPECT_TRUE(status == RPC_CANTSEND || status == RPC_CANTRECV) << status;
  // A mapper that refuses or stays silent fails a lookup and a registration promptly.
  std::string closed, silent;
  int listener = BoundSocket(&silent, SOCK_STREAM);
  close(BoundSocket(&closed, SOCK_STREAM));
  for (std::string const& mapper : {closed, silent}) {
    ScopedVariable variable("BRINDLE_RPC_ENDPOINT_MAPPER", "127.0.0.1:" + mapper);
    auto start = Clock::now();
    EXPECT_EQ(brindle::detail::MapperSet({TestProgram(1), 1, "tcp", "127.0.0.1.1.1", ""}), EPT_S_CANT_CREATE);
    Caller("ncacn_ip_tcp", "localhost", nullptr).Client(TestProgram(1), EPT_S_CANT_CREATE);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(7)) << mapper;
  }
  close(listener);
  std::tuple<char const*, char const*, char const*, char const*, RPC_STATUS> const cases[] = {
      {"bogus", nullptr, nullptr, nullptr, RPC_S_INVALID_RPC_PROTSEQ},
      {"ncacn_np", nullptr, nullptr, nullptr, RPC_S_PROTSEQ_NOT_SUPPORTED},
      {"ncacn_ip_tcp", "not-a-uuid", nullptr, "http", RPC_S_INVALID_STRING_UUID},
      {"ncalrpc", nullptr, nullptr, "../escape", RPC_S_INVALID_ENDPOINT_FORMAT},
      {"ncalrpc", nullptr, "elsewhere.example", nullptr, RPC_S_INVALID_NET_ADDR},
      {"ncacn_ip_tcp", "12345678-1234-1234-1234-123456789abc", nullptr, "4000", RPC_S_OK},
  };
  for (auto const& [protseq, uuid, address, endpoint, status] : cases) {
    Caller judged(protseq, address, endpoint, uuid);
    EXPECT_EQ(judged.endpoint.start(), status) << judged.endpoint.getStatusString();
    EXPECT_EQ(judged.handle != nullptr, status == RPC_S_OK) << protseq;
  }
  RPC_INTERFACE const iface = {TestProgram(2), PROBE_VERS, nullptr};
  void* released = caller.handle;
  EXPECT_EQ(caller.endpoint.stop(), 0u);
  EXPECT_EQ(RpcBindingInqClient(released, &iface, &rpc), RPC_S_INVALID_BINDING);
}

// String bindings, ports, socket names and universal addresses, checked directly.
TEST(RpcStringBindings, ComposeParseAndTheirParts) {
  using namespace brindle::detail;
  std::string text;
  EXPECT_EQ(ComposeStringBinding("u", "ncadg_ip_udp", "fe80::1", "7", "a=b,c=d", &text), 0);
  EXPECT_EQ(text, "u@ncadg_ip_udp:fe80::1[7,a=b,c=d]");
  for (auto [binding, parts] : {std::pair{"u@ncacn_ip_tcp:host[135,a=b,c]", "u|ncacn_ip_tcp|host|135|a=b,c"},
                                {"ncalrpc:[,opt]", "|ncalrpc|||opt"}, {"ncacn_ip_tcp", ""}, {"tcp:host[1", ""},
                                {"tcp:host[1]x", ""}, {"tcp:host[[1]]", ""}, {"a@b@tcp:", ""}, {"tcp:u@host", ""}}) {
    StringBindingParts p;
    ASSERT_EQ(ParseStringBinding(binding, &p), *parts ? 0 : 1700) << binding;
    EXPECT_TRUE(!*parts || p.object_uuid + "|" + p.protseq + "|" + p.address + "|" + p.endpoint + "|" + p.options == parts);
  }
  for (auto [text, port] : {std::pair{"1", 1}, {"65535", 65535}, {"0", 0}, {"65536", 0}, {"", 0}, {"-1", 0},
                            {"12a", 0}, {"000080", 0}, {"00080", 80}}) EXPECT_EQ(ParsePort(text), port) << text;
  std::string longest(64, 'x');
  EXPECT_TRUE(LocalEndpointPath(longest) == LocalSocketDirectory() + "/" + longest && LocalEndpointPath("/r/s") == "/r/s");
  std::string const refused[] = {longest + "x", "/" + longest + longest, "", ".", "..", "a/b", "semi;colon"};
  for (auto const& bad : refused) EXPECT_EQ(LocalEndpointPath(bad), "") << bad;
  for (auto [uaddr, port] : {std::pair{"127.0.0.1.0.111", 111u}, {"", 0u}, {"1.2", 0u}, {"127.0.0.1.256.1", 0u},
                             {"1.1.0", 256u}, {"1.0255.1", 0u}, {"1.a.1", 0u}, {"/x.sock", 0u}}) {
    EXPECT_EQ(UniversalAddressPort(uaddr), port) << uaddr;
  }
}

}  // namespace
