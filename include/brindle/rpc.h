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
/// all).
///
/// On POSIX the user flag and the server's spare text are kept as given and
/// select nothing. The server's security text is kept on both targets but not
/// handed to the runtime, which takes a security descriptor there: endpoints
/// get the runtime's default security.
///
/// Thread safety: an endpoint object is not synchronised (every call records
/// its status in it): use each from one thread at a time. Distinct endpoints
/// may be used on several threads at once; the runtime underneath serialises
/// its own state. Listening belongs to the process, not to one server: see
/// ARpcServer::stop(). Procedures run on the runtime's threads, several at
/// once.
#ifndef BRINDLE_RPC_H
#define BRINDLE_RPC_H

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

  /// Waits 3 seconds, selects the protocol sequence, registers the interface,
  /// enters its endpoints in the endpoint mapper and listens. Returns 0, 1713
  /// (the runtime was already listening: started all the same) or the failing
  /// status.
  unsigned int start();
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
