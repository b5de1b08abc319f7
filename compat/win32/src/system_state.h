// Where the emulated system keeps its state on Linux: the registry store, the Windows
// directory with WIN.INI, the reported OS release. One directory holds all of it:
// $NAVOTOOLS_HOME when set, else $XDG_CONFIG_HOME/navotools (an absolute XDG_CONFIG_HOME
// only, as the XDG rules say), else ~/.config/navotools.
#pragma once

#include <string>

namespace navo::win32 {

// The state directory, without a trailing slash; empty when no variable names one.
// It is read from the environment at every call, so tests may relocate it at will.
std::string StateDirectory();

// The state directory, created with its parents when missing (mode 0700). Empty, with
// errno set, when it cannot be made.
std::string EnsureStateDirectory();

}  // namespace navo::win32
