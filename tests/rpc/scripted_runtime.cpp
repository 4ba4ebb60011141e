#include "tests/rpc/scripted_runtime.h"

#include <cstring>
#include <stdexcept>

#include "brindle/rpc.h"
#include "platform/rpc_runtime.h"

namespace brindle::testing {

Script& script() {
  static Script s;
  return s;
}

void Script::Reset() {
  std::lock_guard<std::mutex> lock(mutex);
  calls.clear();
  results.clear();
  throw_in.clear();
  sleeps.clear();
  records_at_sleep.clear();
  observed = nullptr;
}

int Script::Next(char const* name) {
  std::lock_guard<std::mutex> lock(mutex);
  if (throw_in == name) throw std::runtime_error("scripted failure");
  auto it = results.find(name);
  if (it == results.end() || it->second.empty()) return 0;
  int status = it->second.front();
  if (it->second.size() > 1) it->second.pop_front();
  return status;
}

void Script::Log(Call call) {
  std::lock_guard<std::mutex> lock(mutex);
  calls.push_back(std::move(call));
}

std::vector<std::string> Script::Names() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::string> names;
  for (auto const& c : calls) names.push_back(c.name);
  return names;
}

int Script::Count(char const* name) {
  std::lock_guard<std::mutex> lock(mutex);
  int n = 0;
  for (auto const& c : calls) n += c.name == name ? 1 : 0;
  return n;
}

}  // namespace brindle::testing

namespace {

using brindle::testing::Call;
using brindle::testing::script;

std::string Text(unsigned char const* p) { return p == nullptr ? "(null)" : reinterpret_cast<char const*>(p); }

// Logs the call, then returns its scripted status (or throws).
RPC_STATUS Run(Call call) {
  std::string name = call.name;
  script().Log(std::move(call));
  return script().Next(name.c_str());
}

int fake_handle;  // what a binding handle points at
RPC_BINDING_VECTOR fake_vector{1, {&fake_handle}};

}  // namespace

extern "C" {

RPC_STATUS RPC_ENTRY RpcStringBindingComposeA(RPC_CSTR object_uuid, RPC_CSTR protocol_sequence, RPC_CSTR network_address,
                                    RPC_CSTR endpoint, RPC_CSTR options, RPC_CSTR* string_binding) {
  RPC_STATUS s = Run({"Compose", {Text(object_uuid), Text(protocol_sequence), Text(network_address), Text(endpoint),
                                  Text(options)}});
  if (s == 0) {
    std::string composed = Text(protocol_sequence) + ":" + Text(network_address);
    *string_binding = reinterpret_cast<RPC_CSTR>(strdup(composed.c_str()));
  }
  return s;
}

RPC_STATUS RPC_ENTRY RpcBindingFromStringBindingA(RPC_CSTR string_binding, RPC_BINDING_HANDLE* binding) {
  RPC_STATUS s = Run({"FromStringBinding", {Text(string_binding)}});
  if (s == 0) *binding = &fake_handle;
  return s;
}

RPC_STATUS RPC_ENTRY RpcStringFreeA(RPC_CSTR* text) {
  RPC_STATUS s = Run({"StringFree", {Text(*text)}});
  std::free(*text);  // released whatever the status, as a runtime would
  *text = nullptr;
  return s;
}

RPC_STATUS RPC_ENTRY RpcBindingFree(RPC_BINDING_HANDLE* binding) {
  RPC_STATUS s = Run({"BindingFree", {}});
  if (s == 0) *binding = nullptr;
  return s;
}

RPC_STATUS RPC_ENTRY RpcServerUseProtseqA(RPC_CSTR protocol_sequence, unsigned int max_calls, void* security) {
  Call call{"UseProtseq", {Text(protocol_sequence), Text(static_cast<unsigned char const*>(security))}};
  call.numbers[0] = max_calls;
  return Run(call);
}

RPC_STATUS RPC_ENTRY RpcServerRegisterIf(RPC_IF_HANDLE iface, UUID* manager_type, RPC_MGR_EPV* entry_points) {
  Call call{"RegisterIf", {}};
  call.pointer = iface;
  call.numbers[0] = manager_type == nullptr && entry_points == nullptr ? 1 : 0;
  return Run(call);
}

RPC_STATUS RPC_ENTRY RpcServerInqBindings(RPC_BINDING_VECTOR** bindings) {
  RPC_STATUS s = Run({"InqBindings", {}});
  if (s == 0) *bindings = &fake_vector;
  return s;
}

RPC_STATUS RPC_ENTRY RpcEpRegisterA(RPC_IF_HANDLE iface, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* objects,
                          RPC_CSTR annotation) {
  Call call{"EpRegister", {Text(annotation)}};
  call.pointer = iface;
  call.numbers[0] = bindings != nullptr ? 1 : 0;
  call.numbers[1] = objects == nullptr ? 1 : 0;
  return Run(call);
}

RPC_STATUS RPC_ENTRY RpcServerListen(unsigned int min_call_threads, unsigned int max_calls, unsigned int dont_wait) {
  Call call{"Listen", {}};
  call.numbers[0] = min_call_threads;
  call.numbers[1] = max_calls;
  call.numbers[2] = dont_wait;
  return Run(call);
}

RPC_STATUS RPC_ENTRY RpcMgmtWaitServerListen() { return Run({"WaitListen", {}}); }

RPC_STATUS RPC_ENTRY RpcMgmtStopServerListening(RPC_BINDING_HANDLE binding) {
  Call call{"StopListening", {}};
  call.pointer = binding;
  return Run(call);
}

RPC_STATUS RPC_ENTRY RpcEpUnregister(RPC_IF_HANDLE iface, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* /*objects*/) {
  Call call{"EpUnregister", {}};
  call.pointer = iface;
  call.numbers[0] = bindings != nullptr ? 1 : 0;
  return Run(call);
}

RPC_STATUS RPC_ENTRY RpcBindingVectorFree(RPC_BINDING_VECTOR** bindings) {
  RPC_STATUS s = Run({"VectorFree", {}});
  if (s == 0) *bindings = nullptr;
  return s;
}

RPC_STATUS RPC_ENTRY RpcServerUnregisterIf(RPC_IF_HANDLE iface, UUID* /*manager_type*/, unsigned int wait_for_calls) {
  Call call{"UnregisterIf", {}};
  call.pointer = iface;
  call.numbers[0] = wait_for_calls;
  return Run(call);
}

void WINAPI Sleep(DWORD milliseconds) {
  auto& s = script();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.sleeps.push_back(milliseconds);
  s.calls.push_back({"Sleep", {}});
  if (s.observed != nullptr) s.records_at_sleep.push_back(s.observed->getStatusString());
}

}  // extern "C"
