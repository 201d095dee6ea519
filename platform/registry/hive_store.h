#pragma once
// Where the hives live and how they change: one file per hive in a state folder, replaced
// whole on every change. A change writes a new file, flushes it and renames it over the old
// one, so a process killed at any moment leaves the old hive or the new one, never a part of
// either. Changes of every process are serialised by a lock file beside the hives (flock,
// which the kernel drops when its holder dies); a reader takes no lock, as the rename is
// atomic.
//
// The folder: $ORVIX_REGISTRY_DIR when set (tests give each case its own); otherwise
// /var/lib/orvix/registry for root and $XDG_STATE_HOME/orvix/registry (default
// ~/.local/state/orvix/registry) for anyone else. It is made on the first change.
//
// Threads: any thread; changes within the process are serialised too.

#include <functional>
#include <string>

#include "platform/kernel/win_types.h"
#include "platform/registry/registry_tree.h"

namespace platform::registry {

enum class Hive { kMachine, kUser };

// How long a change waits for another process's change to finish before it gives up.
constexpr int kLockWaitMs = 10000;

std::string StateFolder();

// ERROR_SUCCESS with the hive (empty when it has no file yet); ERROR_BADDB when the file is
// not a well-formed hive (it is left for a person to look at, never overwritten);
// ERROR_CANTREAD when it cannot be read.
LONG ReadHive(Hive hive, Key* tree);

// Loads the hive under its lock and runs `change` on it. When `change` returns ERROR_SUCCESS
// and the tree differs from the file, the new tree replaces the file. Gives `change`'s result,
// or the first error of reading (as ReadHive), locking or writing (ERROR_CANTWRITE,
// ERROR_ACCESS_DENIED for a folder this user may not write).
LONG UpdateHive(Hive hive, const std::function<LONG(Key&)>& change);

}  // namespace platform::registry
