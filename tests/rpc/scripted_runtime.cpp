#include "tests/rpc/scripted_runtime.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/rpc_runtime.h"

namespace brindle::testing {

Script& script() {
  static Script s;
  return s;
}

int test_interface;

void Script::Reset() {
  std::lock_guard<std::mutex> lock(mutex);
  calls.clear();
  results.clear();
  throw_in.clear();
}

int Script::Run(std::string const& call) {
  std::lock_guard<std::mutex> lock(mutex);
  calls.push_back(call);
  std::string name = call.substr(0, call.find('('));
  if (throw_in == name) throw std::runtime_error("scripted failure");
  std::deque<int>& queue = results[name];
  int status = queue.empty() ? 0 : queue.front();
  if (queue.size() > 1) queue.pop_front();
  return status;
}

std::vector<std::string> Script::Calls(bool with_arguments) {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::string> out;
  for (auto const& call : calls) {
    if (with_arguments || call.rfind("Sleep(", 0) != 0) out.push_back(with_arguments ? call : call.substr(0, call.find('(')));
  }
  return out;
}

}  // namespace brindle::testing

namespace {

std::string Arg(unsigned char const* text) { return text == nullptr ? "(null)" : reinterpret_cast<char const*>(text); }
std::string Arg(void const* p) { return p == nullptr ? "null" : p == &brindle::testing::test_interface ? "iface" : "p"; }
std::string Arg(unsigned long number) { return std::to_string(number); }

// Logs "name(arguments)" and returns its scripted status (or throws).
template <typename... Args>
RPC_STATUS Log(char const* name, Args const&... args) {
  std::string list;
  int i = 0;
  ((list += (i++ == 0 ? "" : ",") + Arg(args)), ...);
  return brindle::testing::script().Run(std::string(name) + "(" + list + ")");
}

// The status, after `effect` when it is 0.
template <typename Effect>
RPC_STATUS Then(RPC_STATUS status, Effect const& effect) {
  if (status == 0) effect();
  return status;
}

int fake_handle;  // what a binding handle points at
RPC_BINDING_VECTOR fake_vector{1, {&fake_handle}};

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
RPC_STATUS RPC_ENTRY RpcEpUnregister(RPC_IF_HANDLE i, RPC_BINDING_VECTOR* v, UUID_VECTOR* o) { return Log("EpUnregister", i, v, o); }
RPC_STATUS RPC_ENTRY RpcServerUnregisterIf(RPC_IF_HANDLE i, UUID* t, unsigned int w) { return Log("UnregisterIf", i, t, w); }
void WINAPI Sleep(DWORD milliseconds) { Log("Sleep", milliseconds); }

}  // extern "C"
