// A scripted stand-in for the RPC runtime and Sleep, linked into the endpoint
// tests in place of the real one: each call is logged, returns the status
// scripted for it (0 by default, or the next of a queue), and may throw.
#ifndef BRINDLE_TESTS_RPC_SCRIPTED_RUNTIME_H
#define BRINDLE_TESTS_RPC_SCRIPTED_RUNTIME_H

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ARpcController;

namespace brindle::testing {

struct Call {
  std::string name;
  std::vector<std::string> texts;  // text arguments, "(null)" for null
  void const* pointer = nullptr;   // the interface description, where one is passed
  unsigned int numbers[3] = {0, 0, 0};
};

struct Script {
  std::mutex mutex;
  std::vector<Call> calls;
  std::map<std::string, std::deque<int>> results;  // name -> statuses, front first; last repeats
  std::string throw_in;                            // a call name that throws
  std::vector<unsigned int> sleeps;
  std::vector<std::string> records_at_sleep;  // the observed endpoint's status text at each Sleep
  ARpcController const* observed = nullptr;

  void Reset();
  int Next(char const* name);
  void Log(Call call);
  std::vector<std::string> Names();
  int Count(char const* name);
};

Script& script();

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_RPC_SCRIPTED_RUNTIME_H
