// Null-call round trips: through a binding made by ARpcClient to a server
// started by ARpcServer (the runtime on both sides), against plain libtirpc
// on both sides (clnt_call to a server run by svc_run), over TCP, UDP and
// AF_UNIX; the two crossings over TCP (plain client to the runtime's server,
// runtime client to the plain server) show where a difference comes from.
// Then throughput with 8 concurrent clients over TCP.
//
// The program ignores SIGPIPE, as network programs do; LayerTcpDefaultSigpipe
// makes its connection while SIGPIPE is at its default, so that each call
// also pays for the runtime's blocking of SIGPIPE around it.
//
// Needs rpcbind (the runtime's server enters its endpoints there).
// Run: build/bench/rpc_bench --benchmark_repetitions=3
// The ratios printed at the end are runtime time / libtirpc time, of wall
// time per call (a round trip is mostly waiting).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "brindle/rpc.h"
#include "brindle/rpc_runtime.h"

namespace {

constexpr rpcvers_t kVersion = 1;
constexpr timeval kTimeout = {25, 0};
// xdr_void as libtirpc's xdrproc_t, through a plain function pointer type
// (a direct cast between the two function types draws -Wcast-function-type).
xdrproc_t const kXdrVoid = reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_void));

rpcprog_t LayerProgram() { return 0x2BE00000u | (static_cast<rpcprog_t>(getpid()) & 0xFFFFu); }
rpcprog_t PlainProgram() { return 0x2BF00000u | (static_cast<rpcprog_t>(getpid()) & 0xFFFFu); }

void NullDispatch(svc_req* request, SVCXPRT* transport) {
  if (request->rq_proc == NULLPROC) {
    svc_sendreply(transport, kXdrVoid, nullptr);
  } else {
    svcerr_noproc(transport);
  }
}

RPC_INTERFACE layer_spec;

// --- The plain libtirpc server: svc_run on a thread of its own ---------------

struct PlainServer {
  sockaddr_in tcp{}, udp{};
  sockaddr_un local{};
};

PlainServer* plain = nullptr;

int BoundSocket(int family, int type, sockaddr* address, socklen_t length) {
  int fd = socket(family, type, 0);
  if (fd < 0 || bind(fd, address, length) != 0 || (type == SOCK_STREAM && listen(fd, 64) != 0)) return -1;
  getsockname(fd, address, &length);
  return fd;
}

bool StartPlainServer() {
  plain = new PlainServer;
  plain->tcp.sin_family = plain->udp.sin_family = AF_INET;
  plain->tcp.sin_addr.s_addr = plain->udp.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  plain->local.sun_family = AF_UNIX;
  std::snprintf(plain->local.sun_path, sizeof plain->local.sun_path, "/tmp/brindle-rpc-bench-%d.sock",
                static_cast<int>(getpid()));
  unlink(plain->local.sun_path);
  int tcp = BoundSocket(AF_INET, SOCK_STREAM, reinterpret_cast<sockaddr*>(&plain->tcp), sizeof plain->tcp);
  int udp = BoundSocket(AF_INET, SOCK_DGRAM, reinterpret_cast<sockaddr*>(&plain->udp), sizeof plain->udp);
  int local = BoundSocket(AF_UNIX, SOCK_STREAM, reinterpret_cast<sockaddr*>(&plain->local), sizeof plain->local);
  if (tcp < 0 || udp < 0 || local < 0) return false;
  SVCXPRT* transports[] = {svc_vc_create(tcp, 0, 0), svc_dg_create(udp, 0, 0), svc_vc_create(local, 0, 0)};
  for (SVCXPRT* transport : transports) {
    // No netconfig: registered with this process only, not with rpcbind.
    if (transport == nullptr || !svc_reg(transport, PlainProgram(), kVersion, NullDispatch, nullptr)) return false;
  }
  std::thread([] { svc_run(); }).detach();
  return true;
}

CLIENT* PlainClient(int type, sockaddr* address, socklen_t length, rpcprog_t program) {
  int fd = socket(address->sa_family, type, 0);
  if (fd < 0 || connect(fd, address, length) != 0) return nullptr;
  netbuf server{length, length, address};
  CLIENT* client = type == SOCK_DGRAM ? clnt_dg_create(fd, &server, program, kVersion, 0, 0)
                                      : clnt_vc_create(fd, &server, program, kVersion, 0, 0);
  if (client != nullptr) clnt_control(client, CLSET_FD_CLOSE, nullptr);
  return client;
}

// --- The runtime's server, one ARpcServer per protocol sequence -------------------

std::vector<std::unique_ptr<ARpcServer>>* layer_servers = nullptr;

bool StartLayerServers() {
  layer_spec = {LayerProgram(), kVersion, NullDispatch};
  layer_servers = new std::vector<std::unique_ptr<ARpcServer>>;
  char const* protseqs[] = {"ncacn_ip_tcp", "ncadg_ip_udp", "ncalrpc"};
  for (char const* protseq : protseqs) {
    layer_servers->emplace_back(new ARpcServer(reinterpret_cast<unsigned char const*>(protseq), &layer_spec, 0, 1,
                                               nullptr, 1, 16, nullptr));
  }
  // Each start waits 3 seconds first: start them side by side.
  std::vector<unsigned int> results(layer_servers->size());
  std::vector<std::thread> starts;
  for (std::size_t i = 0; i < layer_servers->size(); ++i) {
    starts.emplace_back([i, &results] { results[i] = (*layer_servers)[i]->start(); });
  }
  for (auto& t : starts) t.join();
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (results[i] != 0 && results[i] != RPC_S_ALREADY_LISTENING) {
      std::fprintf(stderr, "%s\n", (*layer_servers)[i]->getStatusString());
      return false;
    }
  }
  return true;
}

// A binding made by ARpcClient; the endpoint comes from rpcbind unless given.
struct LayerBinding {
  LayerBinding(char const* protseq, char const* endpoint)
      : client(reinterpret_cast<unsigned char const*>(protseq), &handle, 0, nullptr,
               reinterpret_cast<unsigned char const*>("localhost"), reinterpret_cast<unsigned char const*>(endpoint),
               nullptr) {
    ok = client.start() == 0;
  }
  void* handle = nullptr;
  ARpcClient client;
  bool ok = false;
};

// --- Benchmarks ----------------------------------------------------------------------

void RunNullCalls(benchmark::State& state, CLIENT* client) {
  if (client == nullptr) {
    state.SkipWithError("no client");
    return;
  }
  for (auto _ : state) {
    if (clnt_call(client, NULLPROC, kXdrVoid, nullptr, kXdrVoid, nullptr, kTimeout) != RPC_SUCCESS) {
      state.SkipWithError("call failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// Through the binding, asking it for its client on every call, as a caller
// that keeps only the handle does.
void RunLayerNullCalls(benchmark::State& state, LayerBinding& binding, RPC_INTERFACE const& iface) {
  CLIENT* client = nullptr;
  if (!binding.ok || RpcBindingInqClient(binding.handle, &iface, &client) != RPC_S_OK) {
    state.SkipWithError("no binding");
    return;
  }
  for (auto _ : state) {
    RpcBindingInqClient(binding.handle, &iface, &client);
    if (clnt_call(client, NULLPROC, kXdrVoid, nullptr, kXdrVoid, nullptr, kTimeout) != RPC_SUCCESS) {
      state.SkipWithError("call failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void PlainTcp(benchmark::State& state) {
  CLIENT* client = PlainClient(SOCK_STREAM, reinterpret_cast<sockaddr*>(&plain->tcp), sizeof plain->tcp,
                               PlainProgram());
  RunNullCalls(state, client);
  if (client != nullptr) clnt_destroy(client);
}

void PlainUdp(benchmark::State& state) {
  CLIENT* client = PlainClient(SOCK_DGRAM, reinterpret_cast<sockaddr*>(&plain->udp), sizeof plain->udp,
                               PlainProgram());
  RunNullCalls(state, client);
  if (client != nullptr) clnt_destroy(client);
}

void PlainLocal(benchmark::State& state) {
  CLIENT* client = PlainClient(SOCK_STREAM, reinterpret_cast<sockaddr*>(&plain->local), sizeof plain->local,
                               PlainProgram());
  RunNullCalls(state, client);
  if (client != nullptr) clnt_destroy(client);
}

void LayerTcp(benchmark::State& state) {
  LayerBinding binding("ncacn_ip_tcp", nullptr);
  RunLayerNullCalls(state, binding, layer_spec);
}

void LayerTcpDefaultSigpipe(benchmark::State& state) {
  signal(SIGPIPE, SIG_DFL);
  LayerBinding binding("ncacn_ip_tcp", nullptr);
  CLIENT* client = nullptr;
  bool connected = binding.ok && RpcBindingInqClient(binding.handle, &layer_spec, &client) == RPC_S_OK;
  signal(SIGPIPE, SIG_IGN);
  if (!connected) {
    state.SkipWithError("no binding");
    return;
  }
  RunLayerNullCalls(state, binding, layer_spec);
}

void LayerUdp(benchmark::State& state) {
  LayerBinding binding("ncadg_ip_udp", nullptr);
  RunLayerNullCalls(state, binding, layer_spec);
}

void LayerLocal(benchmark::State& state) {
  LayerBinding binding("ncalrpc", nullptr);
  RunLayerNullCalls(state, binding, layer_spec);
}

// The crossings: the plain client to the runtime's server, and a binding
// made by ARpcClient to the plain server.
void PlainClientLayerServerTcp(benchmark::State& state) {
  LayerBinding binding("ncacn_ip_tcp", nullptr);
  CLIENT* found = nullptr;
  netbuf address{};
  if (!binding.ok || RpcBindingInqClient(binding.handle, &layer_spec, &found) != RPC_S_OK ||
      !clnt_control(found, CLGET_SVC_ADDR, reinterpret_cast<char*>(&address))) {
    state.SkipWithError("no binding");
    return;
  }
  sockaddr_in server;
  std::memcpy(&server, address.buf, sizeof server);
  CLIENT* client = PlainClient(SOCK_STREAM, reinterpret_cast<sockaddr*>(&server), sizeof server, LayerProgram());
  RunNullCalls(state, client);
  if (client != nullptr) clnt_destroy(client);
}

void LayerClientPlainServerTcp(benchmark::State& state) {
  std::string port = std::to_string(ntohs(plain->tcp.sin_port));
  LayerBinding binding("ncacn_ip_tcp", port.c_str());
  RPC_INTERFACE const iface = {PlainProgram(), kVersion, nullptr};
  RunLayerNullCalls(state, binding, iface);
}

// Eight clients at once, each on a connection of its own.
void PlainTcpThroughput(benchmark::State& state) {
  CLIENT* client = PlainClient(SOCK_STREAM, reinterpret_cast<sockaddr*>(&plain->tcp), sizeof plain->tcp,
                               PlainProgram());
  RunNullCalls(state, client);
  if (client != nullptr) clnt_destroy(client);
}

void LayerTcpThroughput(benchmark::State& state) {
  LayerBinding binding("ncacn_ip_tcp", nullptr);
  RunLayerNullCalls(state, binding, layer_spec);
}

BENCHMARK(PlainTcp)->UseRealTime();
BENCHMARK(LayerTcp)->UseRealTime();
BENCHMARK(LayerTcpDefaultSigpipe)->UseRealTime();
BENCHMARK(PlainUdp)->UseRealTime();
BENCHMARK(LayerUdp)->UseRealTime();
BENCHMARK(PlainLocal)->UseRealTime();
BENCHMARK(LayerLocal)->UseRealTime();
BENCHMARK(PlainClientLayerServerTcp)->UseRealTime();
BENCHMARK(LayerClientPlainServerTcp)->UseRealTime();
BENCHMARK(PlainTcpThroughput)->Threads(8)->UseRealTime();
BENCHMARK(LayerTcpThroughput)->Threads(8)->UseRealTime();

// Console output, then "ratio" lines of wall time per call (the medians when
// repeated).
class WallRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(std::vector<Run> const& runs) override {
    for (auto const& run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Ratio(char const* label, char const* ours, char const* peer) {
    auto o = times_.find(ours);
    auto p = times_.find(peer);
    if (o != times_.end() && p != times_.end() && p->second > 0) {
      std::printf("ratio %-40s %7.3f  (runtime / libtirpc, wall time per call)\n", label, o->second / p->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  signal(SIGPIPE, SIG_IGN);
  if (!StartPlainServer() || !StartLayerServers()) {
    std::fprintf(stderr, "could not start the servers (is rpcbind running?)\n");
    return 1;
  }
  WallRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio("null call, TCP", "LayerTcp", "PlainTcp");
  reporter.Ratio("null call, TCP, SIGPIPE at its default", "LayerTcpDefaultSigpipe", "PlainTcp");
  reporter.Ratio("null call, UDP", "LayerUdp", "PlainUdp");
  reporter.Ratio("null call, AF_UNIX", "LayerLocal", "PlainLocal");
  reporter.Ratio("null call, TCP, runtime server only", "PlainClientLayerServerTcp", "PlainTcp");
  reporter.Ratio("null call, TCP, runtime client only", "LayerClientPlainServerTcp", "PlainTcp");
  reporter.Ratio("8 clients, TCP (time per call)", "LayerTcpThroughput", "PlainTcpThroughput");
  benchmark::Shutdown();
  for (auto& server : *layer_servers) server->stop();
  unlink(plain->local.sun_path);
  return 0;
}
