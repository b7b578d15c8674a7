#pragma once

// Where the settings stores live and where the program runs from. Read from the
// environment at each call, so that a caller (or a test) may change XDG_CONFIG_HOME or
// XDG_CONFIG_DIRS before the store is opened. Safe on any thread that does not change
// the environment at the same time.

#include <string>

namespace qm {

// $XDG_CONFIG_HOME/Marlowick/registry.db, with ~/.config when the variable is unset,
// empty or not an absolute path.
std::string UserStorePath();

// <first folder of $XDG_CONFIG_DIRS>/Marlowick/registry.db, with /etc/xdg when the list
// names no absolute folder.
std::string MachineStorePath();

// The folder of the running executable, ending in "/"; empty when it cannot be read.
std::string ExecutableFolder();

// The file name of the running executable, without folder; empty when unknown.
std::string ExecutableName();

} // namespace qm
