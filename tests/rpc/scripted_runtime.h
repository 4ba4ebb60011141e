// A scripted stand-in for the RPC runtime and Sleep, linked into the endpoint
// tests in place of the real one: each call is logged as "Name(arguments)"
// (a pointer as null, iface for test_interface's address, or p), returns the
// status scripted for it (0 by default, or the next of a queue), and may
// throw.
#ifndef BRINDLE_TESTS_RPC_SCRIPTED_RUNTIME_H
#define BRINDLE_TESTS_RPC_SCRIPTED_RUNTIME_H

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace brindle::testing {

struct Script {
  std::mutex mutex;
  std::vector<std::string> calls;
  std::map<std::string, std::deque<int>> results;  // name -> statuses, front first; the last repeats
  std::string throw_in;                            // a call name that throws

  void Reset();
  int Run(std::string const& call);
  std::vector<std::string> Calls(bool with_arguments = false);  // Sleep left out without arguments
};

Script& script();

extern int test_interface;  // stands for an interface description

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_RPC_SCRIPTED_RUNTIME_H
