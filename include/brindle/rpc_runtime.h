/// @file
/// The POSIX stand-ins a remote procedure call client or server needs beside
/// brindle/rpc.h: the interface description handed to ARpcServer, and the
/// way to make calls over a binding handle bound by ARpcClient.
///
/// The runtime underneath the endpoints is a layer over ONC RPC (libtirpc).
/// Interfaces are written in rpcgen's language and compiled with
/// `rpcgen -M` (thread-safe stubs: calls are served concurrently), the server
/// stubs with `-m` (no main). rpcbind is the endpoint mapper. Include this
/// header with libtirpc's headers on the include path (pkg-config libtirpc).
///
/// Protocol sequences: "ncacn_ip_tcp" (TCP over IPv4), "ncadg_ip_udp" (UDP
/// over IPv4) and "ncalrpc" (AF_UNIX stream sockets on this machine). The
/// other protocol sequences of the platform are known and refused (1703).
///
/// String bindings read `"uuid@protseq:address[endpoint,options]"`, every part
/// but the protocol sequence optional. The object UUID must be well formed
/// and selects nothing; the options are kept and select nothing. The address
/// is a host name or dotted IPv4 address (empty: this machine); for ncalrpc it
/// must be empty, "localhost" or this machine's name. The endpoint is a port
/// number for TCP and UDP; for ncalrpc a name of letters, digits, '.', '_'
/// and '-' (a socket in the per-user directory below) or an absolute socket
/// path. A binding without an endpoint is resolved through the endpoint
/// mapper of the address's host when the first call is made.
///
/// Server endpoints are always dynamic: a free port for TCP and UDP, a fresh
/// socket in the per-user directory for ncalrpc (`$XDG_RUNTIME_DIR/brindle-rpc`
/// when XDG_RUNTIME_DIR is set, `/tmp/brindle-rpc-<uid>` otherwise; the socket
/// file is removed when listening stops or the process exits). Listening
/// serves every registered interface on every endpoint in use; stopping it
/// closes the endpoints at once, so calls in flight and later calls fail
/// without waiting for the client's timeout, and the next server start opens
/// new ones. Stopping before listening has begun closes them too, so that a
/// listen arriving late finds none and returns 1714: a stop issued before a
/// listen is not lost. Calls in progress at a stop run to their end (their
/// replies go nowhere); destroying an ARpcServer waits for them once the
/// process has stopped listening. Calls run concurrently, up to the maximum
/// concurrent calls given to RpcServerListen (ARpcServer's maximumCalls);
/// calls arriving on one connection may be served concurrently too, and those
/// sent before the client closed its side of the connection are answered
/// first. A UDP call is run at most once: the server remembers calls by the
/// caller's address and transaction id, program, version and procedure, and
/// answers a resend of a call in progress with nothing and of a finished one
/// with its reply again. Over TCP and ncalrpc a call is never sent twice.
/// Only the AUTH_NONE and AUTH_SYS credential flavours are accepted. A call
/// of an RPC version other than 2 is answered with a version mismatch.
/// ARpcServer's security text and spare text, and ARpcController's user
/// flag, select nothing on POSIX. A socket file left by a server process
/// that was killed is removed when the next ncalrpc endpoint opens.
///
/// The server's limits, read from the environment when an endpoint opens
/// (bind address, UDP cache) or listening starts (the rest); a variable unset
/// or not a positive decimal number gives the default:
///
/// - `BRINDLE_RPC_BIND_ADDRESS`: the IPv4 address TCP and UDP endpoints bind,
///   e.g. 127.0.0.1 for this machine only (default: every interface; one that
///   does not parse fails the endpoint with 1707).
/// - `BRINDLE_RPC_MAX_RECORD`: bytes of one call over TCP or ncalrpc, and of an
///   incomplete one a connection holds: a larger one closes the connection
///   (16777216).
/// - `BRINDLE_RPC_MAX_BUFFERED`: bytes of incomplete calls all connections hold
///   together: the connection that goes beyond is closed (67108864).
/// - `BRINDLE_RPC_MAX_CONNECTIONS`: connections per endpoint: one more closes
///   the connection idle longest, or is refused when every one has a call in
///   progress; the idle longest also goes when descriptors run out (256).
/// - `BRINDLE_RPC_IDLE_SECONDS`: a connection without a call in progress that
///   completes no call in this time (a silent one, or one sending a call piece
///   by piece) is closed (60).
/// - `BRINDLE_RPC_UDP_CACHE`: finished UDP calls remembered per endpoint, the
///   oldest forgotten first (1024).
/// - `BRINDLE_RPC_UDP_CACHE_SECONDS`: for at most this long (120).
///
/// UDP calls and replies carry up to 65,504 bytes; the client resends a UDP
/// call after 1 second, then after twice as long each time, up to 8 seconds,
/// within the call's timeout.
///
/// Trust: ONC RPC authenticates nobody. AUTH_SYS credentials are the caller's
/// claim (any process can send uid 0), so a procedure must not decide access
/// by them. Over ncalrpc the kernel vouches for the connecting process: a
/// procedure reads its user, group and process ids with
///
/// @code
/// struct ucred caller;
/// if (SVC_CONTROL(request->rq_xprt, BRINDLE_SVCGET_PEERCRED, &caller)) ...
/// @endcode
///
/// which is false over TCP and UDP. The socket directory is the user's own
/// (mode 0700). TCP and UDP endpoints take calls from anyone who can reach
/// them: bind them to 127.0.0.1 where that is enough. The endpoint mapper
/// hands out whatever was registered last: while a server is down, another
/// local process may register the program and receive the calls of clients
/// that resolve it; a client that must reach one server names its endpoint.
///
/// A call over a stream client from RpcBindingInqClient does not end the
/// process with SIGPIPE when the server has gone: a broken connection fails
/// the call (RPC_CANTSEND or RPC_CANTRECV) at once. While SIGPIPE keeps its
/// default disposition when a connection is made, each call over it blocks it
/// around the call, which costs two signal-mask changes per call; programs
/// that ignore SIGPIPE, as network programs usually do, pay nothing.
///
/// The endpoint mapper is rpcbind on this machine, reached through its local
/// socket or else 127.0.0.1 port 111; the environment variable
/// BRINDLE_RPC_ENDPOINT_MAPPER names another one, as an absolute AF_UNIX
/// socket path or as "host:port" (TCP), read at each use. Each exchange with
/// a mapper gives up within about three seconds (one to connect, two for the
/// answer). Registering replaces an entry
/// for the same program, version and transport; unregistering removes only
/// entries whose address is this process's own.
///
/// Status codes: the RPC_S_ and EPT_S_ macros below, 0 being success.
///
/// Thread safety: RpcBindingInqClient() may be called from several threads
/// at once, and so may the calls over the clients it gives (serialised on
/// each client's connection).
#ifndef BRINDLE_RPC_RUNTIME_H
#define BRINDLE_RPC_RUNTIME_H

#include <rpc/rpc.h>

#include <cstdint>

#include "brindle/export.h"

typedef std::int32_t RPC_STATUS;   ///< A status code: 0 or one of the codes below.
typedef void* RPC_BINDING_HANDLE;  ///< A binding handle, as ARpcClient::start() fills it.
typedef void* RPC_IF_HANDLE;       ///< An interface description, as ARpcServer takes it.

/// @name Status codes
/// @{
#define RPC_S_OK 0                          ///< Success.
#define RPC_S_OUT_OF_MEMORY 14              ///< The system refused memory or a thread.
#define RPC_S_INVALID_ARG 87                ///< A null or unknown argument.
/// A malformed string binding, or parts that cannot be composed into one.
#define RPC_S_INVALID_STRING_BINDING 1700
#define RPC_S_WRONG_KIND_OF_BINDING 1701    ///< A server binding used to make calls.
#define RPC_S_INVALID_BINDING 1702          ///< Not a live binding handle.
/// A known protocol sequence this runtime does not carry.
#define RPC_S_PROTSEQ_NOT_SUPPORTED 1703
#define RPC_S_INVALID_RPC_PROTSEQ 1704      ///< An empty or unknown protocol sequence.
#define RPC_S_INVALID_STRING_UUID 1705      ///< A malformed object UUID.
#define RPC_S_INVALID_ENDPOINT_FORMAT 1706  ///< A malformed endpoint.
#define RPC_S_INVALID_NET_ADDR 1707         ///< An address that does not resolve.
/// Another dispatch routine is registered for the program and version.
#define RPC_S_ALREADY_REGISTERED 1711
#define RPC_S_ALREADY_LISTENING 1713        ///< Listen while the process listens.
#define RPC_S_NO_PROTSEQS_REGISTERED 1714   ///< Listen with no endpoint in use.
#define RPC_S_NOT_LISTENING 1715            ///< Stop listening while not listening.
#define RPC_S_UNKNOWN_IF 1717               ///< Unregistering an interface not registered.
#define RPC_S_NO_BINDINGS 1718              ///< Binding inquiry with no endpoint in use.
#define RPC_S_CANT_CREATE_ENDPOINT 1720     ///< The endpoint's socket cannot be made.
#define RPC_S_SERVER_UNAVAILABLE 1722       ///< Connecting to the server failed.
/// The mapper has no endpoint for the interface on that transport.
#define EPT_S_NOT_REGISTERED 1753
#define RPC_S_CANNOT_SUPPORT 1764           ///< Stopping another process's listening.
/// The endpoints' own: an exception was caught inside start or stop.
#define RPC_S_INTERNAL_ERROR 1766
/// The endpoint mapper is unreachable, timed out or refused the request.
#define EPT_S_CANT_CREATE 1899
/// @}

/// SVC_CONTROL request: the caller's struct ucred, as the kernel recorded it
/// when the caller connected over ncalrpc.
#define BRINDLE_SVCGET_PEERCRED 0x42520001u

/// An interface: its program and version numbers and, for a server, the
/// dispatch routine rpcgen made for that version (`<program>_<version>`).
/// ARpcServer takes its address as the interface description; the runtime
/// keeps a copy of the fields when the interface is registered.
struct RPC_INTERFACE {
  rpcprog_t program;  ///< The program number.
  rpcvers_t version;  ///< The version number.
  /// The dispatch routine; null in a client-only description.
  void (*dispatch)(struct svc_req* request, SVCXPRT* transport);
};

extern "C" {

/// The ONC RPC client for `iface`'s program and version over `binding` (a
/// handle that ARpcClient::start wrote into the caller's variable), for use
/// with rpcgen's client stubs or clnt_call. The connection is made on the
/// first request for that program and version, after resolving a missing
/// endpoint through the endpoint mapper; later requests give the same client
/// at once. The client belongs to the binding: it stays valid until the
/// binding is released (ARpcClient::stop), and clnt_destroy leaves it alone.
/// Calls over one client may be made from several threads; they are
/// serialised on its connection. A call that finds its connection broken
/// fails (RPC_CANTSEND, RPC_CANTRECV, or over UDP also RPC_TIMEDOUT) and is
/// not sent again; the next call connects anew, resolving a missing endpoint
/// again (failing with RPC_PROGNOTREGISTERED, RPC_PMAPFAILURE or RPC_CANTSEND
/// while the server cannot be reached). A stream the server has closed, idle,
/// is replaced before a call is sent on it; a call sent as it closes fails
/// without having run. clnt_control's CLSET_TIMEOUT is kept by the client
/// across connections; other settings are the connection's.
///
/// Returns 0, or 87 (null argument), 1702, 1701, 1753, 1899, 1722 (the server
/// could not be reached) or 14.
BRINDLE_API RPC_STATUS RpcBindingInqClient(RPC_BINDING_HANDLE binding, RPC_INTERFACE const* iface, CLIENT** client);

}  // extern "C"

#endif  // BRINDLE_RPC_RUNTIME_H
