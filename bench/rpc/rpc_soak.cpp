// A bounded soak of the RPC runtime, run by hand (not by ctest): a server
// process serving one interface over TCP, UDP and AF_UNIX (three ARpcServer
// objects), 64 client threads calling it over random transports, some calls
// slow (1.5 s, longer than a UDP resend), a hostile peer keeping connections
// open that send half a record or nothing, and the server restarted twice
// (once stopped, once killed). Every call carries an id; the server counts
// the runs of each id in memory shared with this process.
//
//   build/bench/rpc_soak [seconds]      (default 300; needs rpcbind)
//
// At the end it prints the calls made, answered and failed, the calls run
// twice, the replies lost (a call that ran, outside a restart, whose caller
// saw a failure), and the server's peak resident memory and descriptors in
// each of its lives. Exit status 0 when nothing ran twice and no reply was
// lost.
#include <signal.h>
#include <sys/mman.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "brindle/rpc.h"
#include "brindle/rpc_runtime.h"
#include "tests/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using brindle::testing::ChildProcess;

constexpr std::size_t kMaxCalls = std::size_t{1} << 24;  // ids: each counted in one byte of shared memory
constexpr rpcvers_t kVersion = 1;
constexpr rpcproc_t kCall = 1;
char const* const kProtseqs[] = {"ncacn_ip_tcp", "ncadg_ip_udp", "ncalrpc"};

unsigned char const* U(char const* text) { return reinterpret_cast<unsigned char const*>(text); }

// A call's arguments: its id and how long the procedure takes.
struct Arguments {
  u_int id;
  u_int milliseconds;
};

bool_t XdrArguments(XDR* xdrs, Arguments* arguments) {
  return xdr_u_int(xdrs, &arguments->id) && xdr_u_int(xdrs, &arguments->milliseconds);
}

// An XDR routine as libtirpc's xdrproc_t (through a plain function pointer type).
template <typename Routine>
xdrproc_t Xdr(Routine routine) {
  return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

// --- The server process --------------------------------------------------------

std::atomic<std::uint8_t>* runs = nullptr;  // per id, in the shared mapping

void Dispatch(svc_req* request, SVCXPRT* transport) {
  if (request->rq_proc == NULLPROC) {
    svc_sendreply(transport, Xdr(xdr_void), nullptr);
    return;
  }
  Arguments arguments{};
  if (request->rq_proc != kCall || !svc_getargs(transport, Xdr(XdrArguments), reinterpret_cast<char*>(&arguments)) ||
      arguments.id >= kMaxCalls) {
    svcerr_decode(transport);
    return;
  }
  runs[arguments.id].fetch_add(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(arguments.milliseconds));
  svc_sendreply(transport, Xdr(xdr_u_int), reinterpret_cast<char*>(&arguments.id));
}

int Serve(int shared_fd, rpcprog_t program) {
  void* shared = mmap(nullptr, kMaxCalls, PROT_READ | PROT_WRITE, MAP_SHARED, shared_fd, 0);
  if (shared == MAP_FAILED) return 1;
  runs = static_cast<std::atomic<std::uint8_t>*>(shared);
  static RPC_INTERFACE iface = {program, kVersion, Dispatch};
  std::vector<std::unique_ptr<ARpcServer>> servers;
  for (char const* protseq : kProtseqs) servers.emplace_back(new ARpcServer(U(protseq), &iface, 0, 1, nullptr, 4, 32, nullptr));
  std::vector<std::thread> starts;  // the 3-second opening waits side by side
  std::atomic<int> failed{0};
  for (auto& server : servers) {
    starts.emplace_back([&server, &failed] {
      unsigned int s = server->start();
      if (s != 0 && s != RPC_S_ALREADY_LISTENING) failed += 1;
    });
  }
  for (auto& start : starts) start.join();
  std::cout << (failed == 0 ? "started" : "failed") << std::endl;
  for (std::string line; std::getline(std::cin, line);) {
  }
  servers.clear();  // stops and waits for the calls still running
  return 0;
}

// --- The soak ------------------------------------------------------------------------

struct Failure {
  double begun, ended;  // seconds since the soak began
  u_int id;
  clnt_stat status;
  int transport;  // index into kProtseqs
};

struct Soak {
  int shared_fd = -1;
  std::atomic<std::uint8_t>* runs = nullptr;
  rpcprog_t program = 0;
  Clock::time_point begun = Clock::now();
  std::atomic<bool> ending{false};
  std::atomic<u_int> next_id{0};
  std::atomic<long> answered{0};
  std::mutex mutex;  // guards the fields below
  std::vector<Failure> failures;
  std::vector<std::pair<double, double>> restarts;  // from the stop to the new server's start
  std::unique_ptr<ChildProcess> server;

  double Now() const { return std::chrono::duration<double>(Clock::now() - begun).count(); }

  std::unique_ptr<ChildProcess> StartServer(std::string const& self) {
    auto child = std::make_unique<ChildProcess>(
        std::vector<std::string>{self, "--serve", std::to_string(shared_fd), std::to_string(program)});
    std::string line;
    if (!child->ReadLine(&line, 30000) || line != "started") {
      std::fprintf(stderr, "the server did not start: %s\n", line.c_str());
      std::exit(2);
    }
    return child;
  }

  // One client thread: calls over a random transport until the end.
  void Client(unsigned int seed) {
    std::mt19937 random(seed);
    struct Binding {
      void* handle = nullptr;
      std::unique_ptr<ARpcClient> client;
      CLIENT* rpc = nullptr;
    } bindings[3];
    for (int i = 0; i < 3; ++i) {
      bindings[i].client.reset(new ARpcClient(U(kProtseqs[i]), &bindings[i].handle, 0, nullptr, nullptr, nullptr, nullptr));
      bindings[i].client->start();
    }
    RPC_INTERFACE const iface = {program, kVersion, nullptr};
    while (!ending) {
      Binding& b = bindings[random() % 3];
      if (b.rpc == nullptr && RpcBindingInqClient(b.handle, &iface, &b.rpc) != RPC_S_OK) {
        b.rpc = nullptr;  // the server is restarting: not registered yet
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        continue;
      }
      unsigned int dice = random() % 100;
      u_int pause = dice < 2 ? 1500u : dice < 10 ? 1u + static_cast<u_int>(random() % 20) : 0u;
      Arguments arguments{next_id.fetch_add(1), pause};
      if (arguments.id >= kMaxCalls) break;
      u_int echoed = 0;
      double start = Now();
      timeval timeout = {25, 0};
      clnt_stat status = clnt_call(b.rpc, kCall, Xdr(XdrArguments), reinterpret_cast<char*>(&arguments),
                                   Xdr(xdr_u_int), reinterpret_cast<char*>(&echoed), timeout);
      if (status == RPC_SUCCESS && echoed == arguments.id) {
        ++answered;
        continue;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        failures.push_back({start, Now(), arguments.id, status, static_cast<int>(&b - bindings)});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the server may be restarting
    }
  }

  // Keeps up to 150 connections to the stream endpoints that send half a
  // record, or nothing, replacing the oldest.
  void Hostile() {
    std::mt19937 random(7);
    std::deque<int> held;
    void* handles[2] = {nullptr, nullptr};
    ARpcClient tcp(U("ncacn_ip_tcp"), &handles[0], 0, nullptr, nullptr, nullptr, nullptr);
    ARpcClient local(U("ncalrpc"), &handles[1], 0, nullptr, nullptr, nullptr, nullptr);
    tcp.start();
    local.start();
    RPC_INTERFACE const iface = {program, kVersion, nullptr};
    std::string junk(65536, 'x');
    while (!ending) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      CLIENT* rpc = nullptr;
      if (RpcBindingInqClient(handles[random() % 2], &iface, &rpc) != RPC_S_OK) continue;
      // A null call makes the client reach the server of the moment.
      xdrproc_t none = Xdr(xdr_void);
      timeval timeout = {5, 0};
      clnt_call(rpc, NULLPROC, none, nullptr, none, nullptr, timeout);
      netbuf address{};
      if (!clnt_control(rpc, CLGET_SVC_ADDR, reinterpret_cast<char*>(&address))) continue;
      int fd = socket(static_cast<sockaddr*>(address.buf)->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) continue;
      if (connect(fd, static_cast<sockaddr*>(address.buf), address.len) == 0 && random() % 2 == 0) {
        std::uint32_t mark = htonl(0x80000000u | (1u << 20));  // declares 1 MiB, sends up to 64 KiB
        send(fd, &mark, 4, MSG_NOSIGNAL);
        send(fd, junk.data(), 1 + random() % junk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      }
      held.push_back(fd);
      if (held.size() > 150) {
        close(held.front());
        held.pop_front();
      }
    }
    for (int fd : held) close(fd);
  }
};

struct Usage {
  long rss_kb = 0;
  long fds = 0;
};

Usage UsageOf(unsigned long pid) {
  Usage usage;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) usage.rss_kb = std::atol(line.c_str() + 6);
  }
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++usage.fds;
  }
  return usage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--serve") == 0) {
    return Serve(std::atoi(argv[2]), static_cast<rpcprog_t>(std::strtoul(argv[3], nullptr, 10)));
  }
  signal(SIGPIPE, SIG_IGN);
  int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  Soak soak;
  soak.program = 0x2BD00000u | (static_cast<rpcprog_t>(getpid()) & 0xFFFFFu);
  soak.shared_fd = memfd_create("rpc-soak-runs", 0);  // inherited by the server processes
  if (soak.shared_fd < 0 || ftruncate(soak.shared_fd, kMaxCalls) != 0) return 2;
  void* shared = mmap(nullptr, kMaxCalls, PROT_READ | PROT_WRITE, MAP_SHARED, soak.shared_fd, 0);
  if (shared == MAP_FAILED) return 2;
  soak.runs = static_cast<std::atomic<std::uint8_t>*>(shared);
  // Small limits, so that the hostile peer meets them: idle connections go
  // after 5 s, 96 per endpoint, 4 MiB of half records in all.
  setenv("BRINDLE_RPC_IDLE_SECONDS", "5", 1);
  setenv("BRINDLE_RPC_MAX_CONNECTIONS", "96", 1);
  setenv("BRINDLE_RPC_MAX_BUFFERED", "4194304", 1);
  setenv("BRINDLE_RPC_BIND_ADDRESS", "127.0.0.1", 1);
  soak.server = soak.StartServer(self);
  std::vector<Usage> peaks(1);
  unsigned long pid = soak.server->id();

  std::vector<std::thread> threads;
  for (unsigned int i = 0; i < 64; ++i) threads.emplace_back([&soak, i] { soak.Client(1000 + i); });
  threads.emplace_back([&soak] { soak.Hostile(); });

  int restarts = 0;
  for (int tick = 1; tick <= seconds; ++tick) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Usage now = UsageOf(pid);
    peaks.back().rss_kb = std::max(peaks.back().rss_kb, now.rss_kb);
    peaks.back().fds = std::max(peaks.back().fds, now.fds);
    if (tick % 30 == 0) {
      std::printf("%4d s: %ld answered, server %ld kB, %ld descriptors\n", tick, soak.answered.load(), now.rss_kb,
                  now.fds);
      std::fflush(stdout);
    }
    if (restarts < 2 && tick >= seconds * (restarts + 1) / 3) {
      double stop = soak.Now();
      if (restarts == 0) {
        soak.server->Finish(60000);  // end of input: the servers stop, waiting for their calls
      } else {
        kill(static_cast<pid_t>(pid), SIGKILL);
        soak.server->Finish(10000);
      }
      std::printf("%4d s: server %s; starting another\n", tick, restarts == 0 ? "stopped" : "killed");
      std::unique_ptr<ChildProcess> next = soak.StartServer(self);
      {
        std::lock_guard<std::mutex> lock(soak.mutex);
        soak.server = std::move(next);
        soak.restarts.emplace_back(stop, soak.Now());
      }
      pid = soak.server->id();
      peaks.emplace_back();
      ++restarts;
    }
  }
  soak.ending = true;
  for (auto& thread : threads) thread.join();  // each call ends within its 25 s timeout
  soak.server->Finish(60000);

  long made = soak.next_id.load(), twice = 0, lost = 0, cut = 0, not_run = 0, outside = 0;
  std::map<std::string, long> why;  // failures outside the restarts, by status
  for (long id = 0; id < made && id < static_cast<long>(kMaxCalls); ++id) twice += soak.runs[id].load() > 1 ? 1 : 0;
  for (Failure const& f : soak.failures) {
    bool restart = false;
    for (auto const& [from, to] : soak.restarts) restart = restart || (f.begun <= to + 1 && f.ended >= from - 1);
    bool ran = soak.runs[f.id].load() != 0;
    not_run += ran ? 0 : 1;
    cut += ran && restart ? 1 : 0;
    lost += ran && !restart ? 1 : 0;
    if (!restart && outside < 20) {  // which transport, when, and whether it ran: enough to tell races apart
      std::printf("outside a restart: call %u over %s, %.3f s to %.3f s, %s: %s\n", f.id, kProtseqs[f.transport],
                  f.begun, f.ended, ran ? "ran" : "not run", clnt_sperrno(f.status));
    }
    if (!restart) ++outside, ++why[clnt_sperrno(f.status)];
  }
  std::printf("\n%d s, 64 clients, restarts: %d\n", seconds, restarts);
  std::printf("calls made %ld, answered %ld, failed %zu: not run %ld, run but cut by a restart %ld\n", made,
              soak.answered.load(), soak.failures.size(), not_run, cut);
  std::printf("failed outside the restarts: %ld\n", outside);
  for (auto const& [text, count] : why) std::printf("  %ld  %s\n", count, text.c_str());
  std::printf("calls run twice: %ld; replies lost: %ld\n", twice, lost);
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    std::printf("server life %zu: peak %ld kB resident, %ld descriptors\n", i + 1, peaks[i].rss_kb, peaks[i].fds);
  }
  return twice == 0 && lost == 0 ? 0 : 1;
}
