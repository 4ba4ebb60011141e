// The one child-process helper of the tests: a program started with pipes to
// its standard input and output (or, on POSIX, a forked copy of this one
// holding something), talked to by lines, and always reaped: Finish() or the
// destructor closes its input, waits a bounded time and kills it after.
#ifndef BRINDLE_TESTS_CHILD_PROCESS_H
#define BRINDLE_TESTS_CHILD_PROCESS_H

#include "tests/portable.h"

namespace brindle::testing {

class ChildProcess {
 public:
  // Starts the program `argv[0]` with the rest as its arguments.
  explicit ChildProcess(std::vector<std::string> const& argv) { Start(argv, nullptr); }
#if !defined(_WIN32)
  // Forks a copy of this process, with nothing of the parent's open but its
  // standard error, that runs `hold` and, when it succeeds, says "held" and
  // keeps what it holds until its input ends; it exits 0 then, 1 on failure.
  explicit ChildProcess(std::function<bool()> const& hold) { Start({}, &hold); }
#endif
  ChildProcess(ChildProcess const&) = delete;
  ~ChildProcess() { Finish(5000); }

  unsigned long id() const { return id_; }

  // The next line of the child's output, waiting at most `timeout_ms`.
  bool ReadLine(std::string* line, int timeout_ms) {
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::size_t end;
    while ((end = buffer_.find('\n')) == std::string::npos) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (id_ == 0 || left <= 0 || !ReadSome(static_cast<int>(left))) return false;
    }
    *line = buffer_.substr(0, end > 0 && buffer_[end - 1] == '\r' ? end - 1 : end);
    buffer_.erase(0, end + 1);
    return true;
  }

#if defined(_WIN32)
  void Send(std::string const& line) {
    DWORD written = 0;
    std::string const text = line + "\n";
    EXPECT_TRUE(WriteFile(to_child_, text.data(), text.size(), &written, nullptr) && written == text.size());
  }

  // Closes the child's input and waits for it to end: its exit status, or -1
  // when it had to be killed.
  int Finish(int timeout_ms) {
    DWORD code = 0;
    if (to_child_ != nullptr) CloseHandle(to_child_);
    bool const ended = process_ != nullptr && WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
    if (process_ != nullptr && !ended && TerminateProcess(process_, 255)) WaitForSingleObject(process_, 10000);
    bool const exited = ended && GetExitCodeProcess(process_, &code);
    for (HANDLE h : {process_, from_child_}) {
      if (h != nullptr) CloseHandle(h);
    }
    process_ = to_child_ = from_child_ = nullptr;
    id_ = 0;
    return exited ? static_cast<int>(code) : -1;
  }

 private:
  void Start(std::vector<std::string> const& argv, void const*) {
    std::string command;
    for (auto const& a : argv) command += "\"" + a + "\" ";
    HANDLE child_in = nullptr, child_out = nullptr;
    PROCESS_INFORMATION info{};
    if (CreatePipe(&child_in, &to_child_, nullptr, 0) && CreatePipe(&from_child_, &child_out, nullptr, 0)) {
      // Only the child's ends are inherited.
      SetHandleInformation(child_in, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
      SetHandleInformation(child_out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = child_in;
      startup.hStdOutput = child_out;
      startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
      if (CreateProcessA(argv[0].c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        process_ = info.hProcess;
        id_ = info.dwProcessId;
      }
    }
    for (HANDLE h : {child_in, child_out, info.hThread}) {
      if (h != nullptr) CloseHandle(h);
    }
  }
  // Appends what the child has written; false once it has gone.
  bool ReadSome(int timeout_ms) {
    DWORD available = 0, n = 0;
    char chunk[256];
    if (!PeekNamedPipe(from_child_, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) {
      Sleep(static_cast<DWORD>(std::min(timeout_ms, 20)));
    } else if (!ReadFile(from_child_, chunk, std::min<DWORD>(available, sizeof chunk), &n, nullptr)) {
      return false;
    }
    buffer_.append(chunk, n);
    return true;
  }

  HANDLE process_ = nullptr, to_child_ = nullptr, from_child_ = nullptr;
#else
  void Send(std::string const& line) {
    std::string const text = line + "\n";
    EXPECT_EQ(write(to_child_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // Closes the child's input and waits for it to end: its exit status, or -1
  // when it had to be killed.
  int Finish(int timeout_ms) {
    int status = -1;  // not an exit status
    if (to_child_ >= 0) close(to_child_);
    pid_t const pid = static_cast<pid_t>(id_);
    for (int waited = 0; pid != 0 && waitpid(pid, &status, WNOHANG) == 0; waited += 10) {
      if (waited >= timeout_ms) kill(pid, SIGKILL);
      usleep(10000);
    }
    if (from_child_ >= 0) close(from_child_);
    to_child_ = from_child_ = -1;
    id_ = 0;
    return pid != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  void Start(std::vector<std::string> const& argv, std::function<bool()> const* hold) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_t const pid = fork();
    if (pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      if (hold != nullptr) {
        // Without an exec the child would keep every descriptor, among them
        // the other children's inputs, which must end when the parent's do.
        close_range(3, ~0u, 0);
        char byte;
        if (!(*hold)() || write(1, "held\n", 5) != 5) _exit(1);
        while (read(0, &byte, 1) > 0) {
        }
        _exit(0);
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
    if (pid > 0) id_ = static_cast<unsigned long>(pid);
  }
  // Appends what the child has written; false once it has gone.
  bool ReadSome(int timeout_ms) {
    pollfd p{from_child_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return true;  // the caller's deadline decides
    char chunk[256];
    ssize_t n = read(from_child_, chunk, sizeof chunk);
    if (n > 0) buffer_.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
  }

  int to_child_ = -1, from_child_ = -1;
#endif
  unsigned long id_ = 0;
  std::string buffer_;
};

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_CHILD_PROCESS_H
