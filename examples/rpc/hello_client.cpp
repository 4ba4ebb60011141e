// hello_client: calls the hello interface (hello.x) through a binding made
// by an ARpcClient. The binding names no endpoint: it is found through the
// endpoint mapper (rpcbind) of the server's host.
//
//   hello_client [protocol-sequence [host [name]]]
#include <cstdio>

#include "brindle/rpc.h"
#include "brindle/rpc_runtime.h"
#include "hello.h"

int main(int argc, char** argv) {
  char const* protseq = argc > 1 ? argv[1] : "ncacn_ip_tcp";
  char const* host = argc > 2 ? argv[2] : "localhost";
  char* name = const_cast<char*>(argc > 3 ? argv[3] : "world");

  void* handle = nullptr;
  ARpcClient client(reinterpret_cast<unsigned char const*>(protseq), &handle, 0, nullptr,
                    reinterpret_cast<unsigned char const*>(host), nullptr, nullptr);
  if (client.start() != 0) {
    std::printf("%s\n", client.getStatusString());
    return 1;
  }
  static RPC_INTERFACE const iface = {HELLO_PROG, HELLO_VERS, nullptr};
  CLIENT* rpc = nullptr;
  RPC_STATUS status = RpcBindingInqClient(handle, &iface, &rpc);
  if (status != RPC_S_OK) {
    std::printf("no hello server over %s at %s (status %d)\n", protseq, host, static_cast<int>(status));
    return 1;  // the client's destructor releases the binding
  }

  int failures = 0;
  char* greeting = nullptr;
  if (greet_1(&name, &greeting, rpc) == RPC_SUCCESS) {
    std::printf("GREET(\"%s\") = \"%s\"\n", name, greeting);
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_wrapstring), &greeting);
  } else {
    clnt_perror(rpc, "GREET");
    ++failures;
  }
  operands numbers{20, 22};
  int sum = 0;
  if (add_1(&numbers, &sum, rpc) == RPC_SUCCESS) {
    std::printf("ADD(%d, %d) = %d\n", numbers.left, numbers.right, sum);
  } else {
    clnt_perror(rpc, "ADD");
    ++failures;
  }
  client.stop();
  return failures == 0 ? 0 : 1;
}
