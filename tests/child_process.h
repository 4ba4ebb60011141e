// The one child-process helper of the tests: a program started with pipes to
// its standard input and output (or, on POSIX, a forked copy of this one
// running a function), talked to by lines, and always reaped: Finish() or
// the destructor closes its input, waits a bounded time and kills it after.
#ifndef BRINDLE_TESTS_CHILD_PROCESS_H
#define BRINDLE_TESTS_CHILD_PROCESS_H

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace brindle::testing {

class ChildProcess {
 public:
  // Starts the program `argv[0]` with the rest as its arguments.
  explicit ChildProcess(std::vector<std::string> const& argv) { Start(argv, nullptr); }
#if !defined(_WIN32)
  // Forks: the child runs `body` with the pipes as its standard input and
  // output and exits with its result. Fork before opening anything the child
  // must not share (it shares the parent's open files and their locks).
  explicit ChildProcess(std::function<int()> const& body) { Start({}, &body); }
#endif
  ChildProcess(ChildProcess const&) = delete;
  ChildProcess& operator=(ChildProcess const&) = delete;
  ~ChildProcess() { Finish(5000); }

  bool started() const { return running_; }
  unsigned long id() const { return id_; }

  // The next line of the child's output, waiting at most `timeout_ms`.
  bool ReadLine(std::string* line, int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        *line = buffer_.substr(0, end);
        if (!line->empty() && line->back() == '\r') line->pop_back();
        buffer_.erase(0, end + 1);
        return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (!running_ || left <= 0) return false;
      char chunk[256];
      long n = ReadSome(chunk, sizeof chunk, static_cast<int>(left));
      if (n < 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  void Send(std::string const& line) {
    std::string text = line + "\n";
    if (!WriteAll(text)) ADD_FAILURE() << "could not write to the child";
  }

  // Closes the child's input and waits for it to end: its exit status, or -1
  // when it had to be killed.
  int Finish(int timeout_ms);

 private:
  using Clock = std::chrono::steady_clock;

#if defined(_WIN32)
  void Start(std::vector<std::string> const& argv, void const*) {
    std::string command;
    for (auto const& a : argv) command += "\"" + a + "\" ";
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE child_in = nullptr, child_out = nullptr;
    if (!CreatePipe(&child_in, &to_child_, &inheritable, 0)) return;
    if (!CreatePipe(&from_child_, &child_out, &inheritable, 0)) {
      CloseHandle(child_in);
      return;
    }
    SetHandleInformation(to_child_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(from_child_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (CreateProcessA(argv[0].c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
      process_ = info.hProcess;
      id_ = info.dwProcessId;
      CloseHandle(info.hThread);
      running_ = true;
    }
    CloseHandle(child_in);
    CloseHandle(child_out);
  }
  long ReadSome(char* chunk, unsigned long size, int timeout_ms) {
    DWORD start = GetTickCount(), available = 0;
    while (PeekNamedPipe(from_child_, nullptr, 0, nullptr, &available, nullptr) && available == 0) {
      if (GetTickCount() - start >= static_cast<DWORD>(timeout_ms)) return 0;
      Sleep(20);
    }
    DWORD n = 0;
    if (available == 0 || !ReadFile(from_child_, chunk, std::min<DWORD>(available, size), &n, nullptr)) return -1;
    return static_cast<long>(n);
  }
  bool WriteAll(std::string const& text) {
    DWORD written = 0;
    return to_child_ != nullptr &&
           WriteFile(to_child_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
  }

  HANDLE process_ = nullptr;
  HANDLE to_child_ = nullptr;
  HANDLE from_child_ = nullptr;
#else
  void Start(std::vector<std::string> const& argv, std::function<int()> const* body) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
      close(in[0]);
      close(in[1]);
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      if (body != nullptr) {
        // Without an exec the child keeps every descriptor: its own input
        // and the other children's must end when the parent closes them.
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        for (int fd : Inputs()) close(fd);
        _exit((*body)());
      }
      std::vector<char*> args;
      for (auto const& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_child_ = in[1];
    from_child_ = out[0];
    if (pid_ < 0) {
      Finish(0);
      return;
    }
    Inputs().push_back(to_child_);
    id_ = static_cast<unsigned long>(pid_);
    running_ = true;
  }
  long ReadSome(char* chunk, unsigned long size, int timeout_ms) {
    pollfd p{from_child_, POLLIN, 0};
    int ready = poll(&p, 1, timeout_ms);
    if (ready <= 0) return ready == 0 || errno == EINTR ? 0 : -1;
    ssize_t n = read(from_child_, chunk, size);
    return n > 0 ? static_cast<long>(n) : -1;
  }
  bool WriteAll(std::string const& text) {
    return to_child_ >= 0 && write(to_child_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  // The parent's ends of the live children's input pipes.
  static std::vector<int>& Inputs() {
    static std::vector<int> fds;
    return fds;
  }

  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
#endif
  bool running_ = false;
  unsigned long id_ = 0;
  std::string buffer_;
};

#if defined(_WIN32)
inline int ChildProcess::Finish(int timeout_ms) {
  if (to_child_ != nullptr) CloseHandle(to_child_);
  to_child_ = nullptr;
  int result = -1;
  if (process_ != nullptr) {
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0) {
      DWORD code = 0;
      if (GetExitCodeProcess(process_, &code)) result = static_cast<int>(code);
    } else {
      TerminateProcess(process_, 255);
      WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
    process_ = nullptr;
  }
  if (from_child_ != nullptr) CloseHandle(from_child_);
  from_child_ = nullptr;
  running_ = false;
  return result;
}
#else
inline int ChildProcess::Finish(int timeout_ms) {
  if (to_child_ >= 0) {
    close(to_child_);
    std::erase(Inputs(), to_child_);
  }
  to_child_ = -1;
  int result = -1;
  if (pid_ > 0) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    } else if (done == pid_ && WIFEXITED(status)) {
      result = WEXITSTATUS(status);
    }
  }
  pid_ = -1;
  if (from_child_ >= 0) close(from_child_);
  from_child_ = -1;
  running_ = false;
  return result;
}

// A forked child that runs `hold`, tells whether it succeeded, and keeps
// what it holds until Release() (or the parent's exit) ends its input.
class HoldingChild : public ChildProcess {
 public:
  explicit HoldingChild(std::function<bool()> const& hold) : ChildProcess(Body(hold)) {
    std::string line;
    held_ = ReadLine(&line, 10000) && line == "held";
  }
  bool held() const { return held_; }
  void Release() {
    held_ = false;
    if (started()) {
      EXPECT_EQ(Finish(10000), 0);
    }
  }

 private:
  static std::function<int()> Body(std::function<bool()> const& hold) {
    return [hold] {
      bool const held = hold();
      if (write(1, held ? "held\n" : "failed\n", held ? 5 : 7) < 0) return 1;
      char byte;
      while (read(0, &byte, 1) > 0) {
      }
      return 0;
    };
  }
  bool held_ = false;
};
#endif

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_CHILD_PROCESS_H
