// Where the emulated system keeps its state on Linux: the registry store, the Windows
// directory with WIN.INI, the reported OS release. One directory holds all of it:
// $NAVOTOOLS_HOME when set, else $XDG_CONFIG_HOME/navotools (an absolute XDG_CONFIG_HOME
// only, as the XDG rules say), else ~/.config/navotools.
//
// Everything in it is the user's alone. The directory is used only when it is a directory
// owned by the user (or by root) that no one else may write, as ssh demands of ~/.ssh:
// otherwise another user could plant files or links in it. Files the layer writes there
// are opened without following symbolic links, and whatever it creates is private (files
// 0600, directories 0700) whatever the umask.
#pragma once

#include <string>

namespace navo::win32 {

// The state directory, without a trailing slash; empty when no variable names one.
// It is read from the environment at every call, so tests may relocate it at will.
std::string StateDirectory();

// The state directory, created with its parents when missing (mode 0700) and checked as
// above. Empty, with errno set, when it cannot be made (the mkdir's errno) or is refused
// (EPERM, or ENOTDIR for something that is not a directory); StateDirectoryProblem() then
// says why in words.
std::string EnsureStateDirectory();

// Whether an existing directory may hold the user's state: a directory owned by the user
// or root, writable by neither its group nor others. False, with errno set and `why`
// filled with a sentence that names the directory and the remedy, when it may not.
bool CheckPrivateDirectory(const std::string& dir, std::string* why);

// Why the calling thread's last EnsureStateDirectory failed; empty after a success.
const std::string& StateDirectoryProblem();

// Opens a file for writing in a private directory: never through a symbolic link
// (O_NOFOLLOW is added, as is O_CLOEXEC), only a regular file (-1 with errno EINVAL for a
// FIFO, a device or a directory, without blocking on a FIFO), only the user's own (EPERM).
// A file it creates, or an existing one readable by others, is made 0600.
int OpenPrivateFile(const std::string& path, int flags);

}  // namespace navo::win32
