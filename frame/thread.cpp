#include <exception>
#include <thread>

#include "brindle/framework.h"

CWinThread::CWinThread() = default;
CWinThread::~CWinThread() = default;

CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* parameter, int /*priority*/, UINT /*stack_size*/,
                           DWORD create_flags, void* /*security*/) {
  if (proc == nullptr || create_flags != 0) return nullptr;
  CWinThread* record = new CWinThread();
  try {
    std::thread([record, proc, parameter] {
      proc(parameter);
      delete record;
    }).detach();
  } catch (std::exception const&) {  // the system refused a thread
    delete record;
    return nullptr;
  }
  return record;
}
