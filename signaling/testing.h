#pragma once

// Hooks for the library's own tests; not part of the installed interface.

namespace sigbus {

// The port of the engine's most recent vq_listen (for listening on port 0), or 0.
int listening_port_for_testing(int handle);

}  // namespace sigbus
