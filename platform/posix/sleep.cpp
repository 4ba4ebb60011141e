// Sleep on POSIX.
//
// Callers rely on: the calling thread waits at least the given number of
// milliseconds, signals notwithstanding.
#include <chrono>
#include <thread>

#include "platform/rpc_runtime.h"

extern "C" void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
