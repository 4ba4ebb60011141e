/// @file
/// RPC endpoints over the platform's remote procedure call runtime.
///
/// ARpcClient binds a caller's handle variable to a server from the parts of a
/// string binding; ARpcServer registers one interface, enters its endpoints in
/// the endpoint mapper and listens. Both keep their last status and its text,
/// `"<message>  status: <code> line: <line> file: <file>"`, and report failures
/// by status, never by exception; only a null protocol sequence makes a
/// constructor throw (CUserException, by value).
///
/// Status codes are the runtime's, 0 meaning success; the endpoints give
/// meaning to 1713 (already listening), 1715 (not listening), 1766 (an
/// exception was caught inside start or stop) and 1899 (the endpoint mapper
/// cannot create the entry now: tried again, 3 seconds apart, five times in
/// all, unless ARpcServer::setRetries() says otherwise).
///
/// On POSIX the user flag and the server's spare text are kept as given and
/// select nothing. The server's security text is kept on both targets but not
/// handed to the runtime, which takes a security descriptor there: endpoints
/// get the runtime's default security.
///
/// Each endpoint also keeps its last records, 16 unless set otherwise, so
/// that a start that failed, or took long, can be looked back on:
/// @code
///   ARpcServer server(U("ncacn_ip_tcp"), &iface, 0, 0, nullptr, 1, 16, nullptr);
///   server.setRetries(20, 500);  // ride out a mapper that comes up late
///   if (server.waitForEndpointMapper(30000) != 0) { /* not there yet */ }
///   unsigned int status = server.start();
///   for (auto const& record : server.getStatusHistory()) std::puts(record.text.c_str());
/// @endcode
///
/// Thread safety: an endpoint object is not synchronised (every call records
/// its status in it): use each from one thread at a time. Distinct endpoints
/// may be used on several threads at once; the runtime underneath serialises
/// its own state. Listening belongs to the process, not to one server: see
/// ARpcServer::stop(). Procedures run on the runtime's threads, several at
/// once.
#ifndef BRINDLE_RPC_H
#define BRINDLE_RPC_H

#include <chrono>
#include <string>
#include <vector>

#include "brindle/export.h"
#include "brindle/framework.h"

// On ELF the base's type information is visible to client code, which
// reaches it through the endpoints (dynamic_cast, exceptions, sanitizers'
// type checks), while its constructor, destructor and status recorder stay
// inside the library.
#if defined(_WIN32)
#define BRINDLE_RPC_BASE
#define BRINDLE_RPC_INTERNAL
#else
#define BRINDLE_RPC_BASE __attribute__((visibility("default")))
#define BRINDLE_RPC_INTERNAL __attribute__((visibility("hidden")))
#endif

/// The common base: the protocol sequence, the started flag and the last
/// status record. Only the two status readers are part of the library's
/// exported surface; the endpoints are used in place, never copied.
class BRINDLE_RPC_BASE ARpcController {
 public:
  ARpcController(ARpcController const&) = delete;
  ARpcController& operator=(ARpcController const&) = delete;
  BRINDLE_RPC_INTERNAL virtual ~ARpcController();

  /// Stops the endpoint; 0 or the failing status.
  virtual unsigned int stop() = 0;

  /// The last recorded status code.
  BRINDLE_API unsigned int getStatus() const;
  /// The last recorded status text; valid until the next record or the
  /// object's destruction.
  BRINDLE_API char const* getStatusString() const;

  /// One status record as it was made.
  struct StatusRecord {
    unsigned int status;                          ///< The code getStatus() gave.
    std::string text;                             ///< The text getStatusString() gave.
    std::chrono::system_clock::time_point time;  ///< When it was recorded.
  };
  /// The endpoint's last records, oldest first: the current one last, at
  /// most the limit (16 unless setStatusHistoryLimit() changed it) in all.
  /// A record the system had no memory to keep is missing from the history;
  /// getStatus() and getStatusString() still give it.
  [[nodiscard]] BRINDLE_API std::vector<StatusRecord> getStatusHistory() const;
  /// Keeps the last `records` records from now on (0: none), dropping the
  /// oldest beyond at once; returns the limit it replaces.
  BRINDLE_API unsigned int setStatusHistoryLimit(unsigned int records);

 protected:
  /// Copies the protocol sequence. Throws CUserException when
  /// `protocolSequence` is null. Not exported: the endpoints' own.
  BRINDLE_RPC_INTERNAL ARpcController(unsigned char const* protocolSequence, int userFlag);
  /// Records `status` and its text. Not exported: the endpoints' own.
  BRINDLE_RPC_INTERNAL void setStatus(unsigned int status, char const* file, int line, char const* message);

  unsigned char* protocolSequence;  ///< The protocol sequence, copied.
  int userFlag;                     ///< The user flag, as given.
  int started;                      ///< 1 while started, else 0.
  unsigned int status;              ///< The last recorded status code.
  CString statusString;             ///< The last recorded status text.
};

/// A client endpoint: binds a caller's handle variable to a server from the
/// parts of a string binding.
class BRINDLE_API ARpcClient : public ARpcController {
 public:
  /// `bindingHandle` is the caller's variable, which start() fills and stop()
  /// releases. The texts are copied; all but the protocol sequence may be
  /// null.
  ARpcClient(unsigned char const* protocolSequence, void** bindingHandle, int userFlag,
             unsigned char const* objectUuid, unsigned char const* networkAddress, unsigned char const* endpoint,
             unsigned char const* options);
  /// Stops a started client.
  ~ARpcClient() override;

  /// Composes the string binding and binds; 0 or the failing status. A bound
  /// client only records the call.
  unsigned int start();
  /// Releases the string binding and the handle; 0 or the failing status.
  /// Always leaves the client unbound.
  unsigned int stop() override;

 private:
  unsigned char* objectUuid;
  unsigned char* networkAddress;
  unsigned char* options;
  unsigned char* endpoint;
  unsigned char* stringBinding;
  void** bindingHandle;
};

/// A server endpoint: registers one interface, enters its endpoints in the
/// endpoint mapper and listens.
class BRINDLE_API ARpcServer : public ARpcController {
 public:
  /// `interfaceSpec` describes the interface served, in the runtime's own form
  /// (on POSIX an RPC_INTERFACE, from `<brindle/rpc_runtime.h>`).
  /// The runtime listens on threads of its own from start() to stop(); with
  /// `dontWait` 0 a worker thread of the server's also waits on the listening
  /// until it stops. Destruction stops a started server and, once the process
  /// has stopped listening, waits for the calls still running.
  ARpcServer(unsigned char const* protocolSequence, void* interfaceSpec, int userFlag, int dontWait,
             unsigned char const* spareText, unsigned int minimumCallThreads, unsigned int maximumCalls,
             unsigned char const* securityText);
  /// Stops a started server and, once the process has stopped listening,
  /// waits for the calls still running.
  ~ARpcServer() override;

  /// Waits the retry delay (3 seconds unless setRetries() changed it),
  /// selects the protocol sequence, registers the interface,
  /// enters its endpoints in the endpoint mapper and listens. Returns 0, 1713
  /// (the runtime was already listening: started all the same) or the failing
  /// status.
  unsigned int start();
  /// Sets how later starts wait: at most `attempts` endpoint-mapper
  /// registrations while the mapper answers 1899 (0 counts as 1), and
  /// `delayMilliseconds` both before the first runtime call and after each
  /// failed registration. A new server makes 5 attempts, 3000 ms apart.
  BRINDLE_API void setRetries(unsigned int attempts, unsigned int delayMilliseconds);
  /// The most endpoint-mapper registrations one start makes.
  [[nodiscard]] BRINDLE_API unsigned int getRetryAttempts() const;
  /// The wait, in milliseconds, before a start's first runtime call and
  /// after each failed registration.
  [[nodiscard]] BRINDLE_API unsigned int getRetryDelay() const;

  /// Waits until this machine's endpoint mapper answers, so that a service
  /// started with the system can start after it: asks the mapper for this
  /// server's interface every 100 ms until it answers (whether or not it
  /// knows the interface) or `timeoutMilliseconds` have passed (0: asks
  /// once). Returns 0 when it answered, otherwise the runtime's last status
  /// (on POSIX 1899: rpcbind does not answer). Records nothing. One question
  /// to an unresponsive mapper can outlast the timeout: on POSIX by up to 3
  /// seconds.
  BRINDLE_API unsigned int waitForEndpointMapper(unsigned int timeoutMilliseconds);

  /// Stops listening and undoes the registrations, in order; 0 or the failing
  /// status (the server then stays started, and destruction stops it again).
  /// A server without bindings (never started, or stopped) only stops the
  /// listening and unregisters its interface. Listening is the process's:
  /// stopping it closes the endpoints of every server in the process.
  unsigned int stop() override;

 private:
  unsigned char* spareText;
  unsigned char* securityText;
  void* interfaceSpec;
  int dontWait;
  unsigned int minimumCallThreads;
  unsigned int maximumCalls;
  void* bindingVector;
  unsigned int retryDelay;
  unsigned int registerAttempts;
};

#endif  // BRINDLE_RPC_H
