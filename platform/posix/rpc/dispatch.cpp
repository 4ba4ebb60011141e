// Calls and interfaces of the POSIX RPC runtime: the table of registered
// interfaces (RpcServerRegisterIf, RpcServerUnregisterIf), and each call
// message handed to its interface's rpcgen dispatch routine.
//
// Callers rely on: a dispatch routine sees an SVCXPRT that behaves as
// libtirpc's own transports do for svc_getargs, svc_freeargs,
// svc_sendreply, svcerr_* and svc_getrpccaller; it belongs to the one call,
// so calls run side by side without sharing anything of libtirpc's server
// state. Registrations are counted, so that servers sharing an interface
// each remove only their own; unregistering only edits the table: the
// mapper is not touched. A call of another RPC version than 2 is answered
// with a version mismatch, and a procedure called over ncalrpc learns its
// caller's verified identity through SVC_CONTROL (BRINDLE_SVCGET_PEERCRED).
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/posix/rpc/rpc_posix.h"

#include <rpc/svc_mt.h>  // after rpc/rpc.h, which it needs

namespace brindle::detail {

namespace {

constexpr std::size_t kMaxDatagram = 65507;  // the most a UDP datagram over IPv4 carries
constexpr std::size_t kCookedCredentials = 400;  // libtirpc's room for decoded AUTH_SYS credentials

// --- Interfaces ------------------------------------------------------------------

typedef void (*Dispatch)(svc_req*, SVCXPRT*);

struct Interface {
  rpcprog_t program;
  rpcvers_t version;
  Dispatch dispatch;
  unsigned int registrations;
};

// Read by every call, written only by registration: calls share the lock.
struct Interfaces {
  std::shared_mutex mutex;
  std::vector<Interface> list;
};

Interfaces& interfaces() {
  static Interfaces* table = new Interfaces;
  return *table;
}

// --- One call, seen by the dispatch routine as an SVCXPRT ------------------------------

struct CallTransport {
  SVCXPRT xprt;
  SVCXPRT_EXT ext;
  XDR input;
  std::uint32_t xid;
  CallOrigin const* origin;
  ReplyChannel* channel;
  char verifier[MAX_AUTH_BYTES];
  char credentials[2 * MAX_AUTH_BYTES + kCookedCredentials];
};

CallTransport* CallOf(SVCXPRT* xprt) { return static_cast<CallTransport*>(xprt->xp_p1); }

int PassThrough(SVCAUTH*, XDR* xdrs, xdrproc_t proc, caddr_t where) { return (*proc)(xdrs, where); }
int NothingToDestroy(SVCAUTH*) { return TRUE; }
SVCAUTH::svc_auth_ops const kPlainAuth = {PassThrough, PassThrough, NothingToDestroy};

bool_t CallRecv(SVCXPRT*, rpc_msg*) { return FALSE; }
xprt_stat CallStat(SVCXPRT*) { return XPRT_IDLE; }
void CallDestroy(SVCXPRT*) {}
bool_t CallControl(SVCXPRT* xprt, u_int request, void* info) {
  CallOrigin const& origin = *CallOf(xprt)->origin;
  if (request != BRINDLE_SVCGET_PEERCRED || !origin.verified || info == nullptr) return FALSE;
  *static_cast<ucred*>(info) = origin.credentials;
  return TRUE;
}

bool_t CallGetArgs(SVCXPRT* xprt, xdrproc_t proc, void* where) {
  return SVCAUTH_UNWRAP(&SVC_XP_AUTH(xprt), &CallOf(xprt)->input, proc, static_cast<caddr_t>(where));
}

bool_t CallFreeArgs(SVCXPRT*, xdrproc_t proc, void* where) {
  xdr_free(proc, where);
  return TRUE;
}

int AppendToString(void* handle, void* data, int length) {
  static_cast<std::string*>(handle)->append(static_cast<char const*>(data), static_cast<std::size_t>(length));
  return length;
}

bool_t CallReply(SVCXPRT* xprt, rpc_msg* msg) {
  CallTransport* call = CallOf(xprt);
  msg->rm_xid = call->xid;
  // Results go through the credential flavour's wrapping, as libtirpc's own
  // transports do.
  bool has_results = msg->rm_reply.rp_stat == MSG_ACCEPTED && msg->acpted_rply.ar_stat == SUCCESS;
  xdrproc_t results = nullptr;
  caddr_t where = nullptr;
  if (has_results) {
    results = msg->acpted_rply.ar_results.proc;
    where = msg->acpted_rply.ar_results.where;
    msg->acpted_rply.ar_results.proc = XdrRoutine(xdr_void);
    msg->acpted_rply.ar_results.where = nullptr;
  }
  auto encode = [&](XDR* x) {
    return xdr_replymsg(x, msg) && (!has_results || SVCAUTH_WRAP(&SVC_XP_AUTH(xprt), x, results, where));
  };
  if (call->origin->protseq != Protseq::kUdp) {
    // A record, marked for the stream.
    std::string out;
    XDR x;
    xdrrec_create(&x, 0, 0, &out, nullptr, AppendToString);
    x.x_op = XDR_ENCODE;
    bool ok = encode(&x) && xdrrec_endofrecord(&x, TRUE);
    XDR_DESTROY(&x);
    return ok && call->channel->Send(out.data(), out.size());
  }
  thread_local std::unique_ptr<char[]> buffer(new char[kMaxDatagram]);
  XDR x;
  xdrmem_create(&x, buffer.get(), kMaxDatagram, XDR_ENCODE);
  bool ok = encode(&x);
  std::size_t size = XDR_GETPOS(&x);
  XDR_DESTROY(&x);
  return ok && call->channel->Send(buffer.get(), size);
}

struct __rpc_svcxprt::xp_ops const kCallOps = {CallRecv, CallStat, CallGetArgs, CallReply, CallFreeArgs, CallDestroy};
struct __rpc_svcxprt::xp_ops2 const kCallOps2 = {CallControl};

}  // namespace

bool ServeCall(char* data, std::size_t size, CallOrigin const& origin, ReplyChannel& channel) {
  std::unique_ptr<CallTransport> call(new CallTransport{});
  SVCXPRT& xprt = call->xprt;
  xprt.xp_fd = origin.fd;
  xprt.xp_ops = &kCallOps;
  xprt.xp_ops2 = &kCallOps2;
  xprt.xp_netid = const_cast<char*>(NetId(origin.protseq));
  xprt.xp_rtaddr = {static_cast<unsigned int>(sizeof origin.peer), static_cast<unsigned int>(origin.peer_length),
                    const_cast<sockaddr_storage*>(&origin.peer)};
  if (origin.peer.ss_family == AF_INET || origin.peer.ss_family == AF_INET6) {
    std::size_t n = std::min<std::size_t>(origin.peer_length, sizeof xprt.xp_raddr);
    std::memcpy(&xprt.xp_raddr, &origin.peer, n);
    xprt.xp_addrlen = static_cast<int>(n);
  }
  xprt.xp_verf.oa_base = call->verifier;
  xprt.xp_p1 = call.get();
  xprt.xp_p3 = &call->ext;
  call->ext.xp_auth.svc_ah_ops = const_cast<SVCAUTH::svc_auth_ops*>(&kPlainAuth);
  call->origin = &origin;
  call->channel = &channel;
  xdrmem_create(&call->input, data, static_cast<u_int>(size), XDR_DECODE);

  // libtirpc's decoder refuses other RPC versions outright: they are read
  // here first, to be answered.
  std::uint32_t head[3] = {};
  for (std::uint32_t& word : head) {
    if (!xdr_u_int32_t(&call->input, &word)) return false;
  }
  if (head[1] != CALL) return false;
  call->xid = head[0];
  if (head[2] != RPC_MSG_VERSION) {
    rpc_msg denied{};
    denied.rm_direction = REPLY;
    denied.rm_reply.rp_stat = MSG_DENIED;
    denied.rjcted_rply.rj_stat = RPC_MISMATCH;
    denied.rjcted_rply.rj_vers.low = RPC_MSG_VERSION;
    denied.rjcted_rply.rj_vers.high = RPC_MSG_VERSION;
    SVC_REPLY(&xprt, &denied);
    return true;
  }
  XDR_SETPOS(&call->input, 0);
  rpc_msg msg{};
  msg.rm_call.cb_cred.oa_base = call->credentials;
  msg.rm_call.cb_verf.oa_base = call->credentials + MAX_AUTH_BYTES;
  if (!xdr_callmsg(&call->input, &msg)) return false;
  svc_req request{};
  request.rq_prog = msg.rm_call.cb_prog;
  request.rq_vers = msg.rm_call.cb_vers;
  request.rq_proc = msg.rm_call.cb_proc;
  request.rq_xprt = &xprt;
  request.rq_clntcred = call->credentials + 2 * MAX_AUTH_BYTES;
  // Other flavours need state of libtirpc's own server (DES, GSS): refused.
  enum_t flavor = msg.rm_call.cb_cred.oa_flavor;
  if (flavor != AUTH_NONE && flavor != AUTH_SYS) {
    svcerr_auth(&xprt, AUTH_REJECTEDCRED);
    return true;
  }
  auth_stat why = _authenticate(&request, &msg);
  if (why != AUTH_OK) {
    svcerr_auth(&xprt, why);
    return true;
  }

  Dispatch dispatch = nullptr;
  bool program_known = false;
  rpcvers_t low = ~rpcvers_t{0}, high = 0;
  {
    Interfaces& table = interfaces();
    std::shared_lock<std::shared_mutex> lock(table.mutex);
    for (Interface const& i : table.list) {
      if (i.program != request.rq_prog) continue;
      program_known = true;
      low = std::min(low, i.version);
      high = std::max(high, i.version);
      if (i.version == request.rq_vers) dispatch = i.dispatch;
    }
  }
  if (dispatch == nullptr) {
    if (program_known) {
      svcerr_progvers(&xprt, low, high);
    } else {
      svcerr_noprog(&xprt);
    }
    return true;
  }
  try {
    dispatch(&request, &xprt);
  } catch (...) {
    svcerr_systemerr(&xprt);
  }
  return true;
}

}  // namespace brindle::detail

using namespace brindle::detail;

extern "C" {

RPC_STATUS RpcServerRegisterIf(RPC_IF_HANDLE iface, UUID* /*manager_type*/, RPC_MGR_EPV* /*entry_points*/) {
  RPC_INTERFACE const* interface = InterfaceOf(iface);
  if (interface == nullptr || interface->dispatch == nullptr) return RPC_S_INVALID_ARG;
  Interfaces& table = interfaces();
  std::lock_guard<std::shared_mutex> lock(table.mutex);
  for (Interface& i : table.list) {
    if (i.program == interface->program && i.version == interface->version) {
      if (i.dispatch != interface->dispatch) return RPC_S_ALREADY_REGISTERED;
      ++i.registrations;
      return RPC_S_OK;
    }
  }
  try {
    table.list.push_back({interface->program, interface->version, interface->dispatch, 1});
  } catch (std::bad_alloc const&) {
    return RPC_S_OUT_OF_MEMORY;
  }
  return RPC_S_OK;
}

RPC_STATUS RpcServerUnregisterIf(RPC_IF_HANDLE iface, UUID* /*manager_type*/, unsigned int /*wait_for_calls*/) {
  Interfaces& table = interfaces();
  std::lock_guard<std::shared_mutex> lock(table.mutex);
  if (iface == nullptr) {
    table.list.clear();
    return RPC_S_OK;
  }
  RPC_INTERFACE const* interface = InterfaceOf(iface);
  auto it = std::find_if(table.list.begin(), table.list.end(), [&](Interface const& i) {
    return i.program == interface->program && i.version == interface->version;
  });
  if (it == table.list.end()) return RPC_S_UNKNOWN_IF;
  if (--it->registrations == 0) table.list.erase(it);
  return RPC_S_OK;
}

}  // extern "C"
