#pragma once

// The transport interface of sigbus: engines (each with one I/O thread and one worker
// thread), listening ports and connections, and the library's log.
//
// Results: a handle or connection id (1 upwards), 0 for success, -1 for failure.
// The event function runs on the engine's worker thread, one event at a time; it owns every
// message it receives and releases it with vq_msg_release. Its header map tells the event:
//   "event_name" "accept"     "from" "connection" "remote_ip" "remote_port" "user_arg"
//   "event_name" "connect"    "from" "connection" "user_arg" "result" (0 or an error number)
//   "event_name" "frame"      "from" "connection" "user_arg" "remote_ip" "remote_port"
//   "event_name" "disconnect" "from" "connection" "user_arg" "reason"
// A frame event carries the received message in its frame map.

#include "signaling/sigbus_export.h"
#include "signaling/vq_msg.h"

// Called with a printf-style format and its arguments.
typedef void (*vq_log_fn)(const char* tag, int level, const char* format, ...);
typedef void (*vq_event_fn)(vq_msg* msg);

// Sets the process-wide log hook; null sends lines to "test_timer.log" again.
SIGBUS_EXPORT void vq_io_log(vq_log_fn hook);
// Lines below this level are not produced (initially 0).
SIGBUS_EXPORT void vq_io_set_loglevel(int level);

SIGBUS_EXPORT int vq_io_open(vq_event_fn on_event);
// Listens on all local IPv4 addresses. Socket set-up failures throw boost::system::system_error.
SIGBUS_EXPORT int vq_listen(int handle, int port, const char* arg);
// Gives the connection id at once; the outcome arrives as a "connect" event.
SIGBUS_EXPORT int vq_connect(int handle, const char* host, int port, const char* arg);
// On 0 the engine owns msg; on -1 it still belongs to the caller.
SIGBUS_EXPORT int vq_send(int handle, int connection, vq_msg* msg);
// Closes a connection without any event.
SIGBUS_EXPORT int vq_close(int handle, int connection);
// Stops and destroys the engine. REQUIRES: not called from the engine's own event function
// (such a call is refused and logged).
SIGBUS_EXPORT void vq_io_close(int handle);
