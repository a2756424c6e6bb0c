#pragma once
// The stand-alone registry store: the registry functions of WinReg.h on systems without a registry.
//
// One SQLite file holds HKEY_CURRENT_USER ("current-user.db", in $XDG_DATA_HOME/gorvane/, else
// ~/.local/share/gorvane/), one the machine ("local-machine.db", in /var/lib/gorvane/); the
// environment variable GORVANE_REGISTRY_DIR puts both in that folder instead. HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, HKEY_CURRENT_CONFIG is
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Hardware Profiles\Current, HKEY_USERS is a tree of
// its own in the machine file.
// A file that does not exist reads as an empty registry and is created by the first write.
//
// Keys are written only when the process may write the file (and its folder): otherwise opening a
// key for writing, creating one or deleting one fails with ERROR_ACCESS_DENIED, and reading works.
// Every write is one transaction and is on disk when the call returns.
//
// Failures come back as Windows error codes: ERROR_BADDB for a file that is damaged or is not a
// registry store (such a file is never written to), ERROR_DISK_FULL, ERROR_ACCESS_DENIED,
// ERROR_BUSY when another process holds the file too long, ERROR_REGISTRY_IO_FAILED for other
// errors of the file. GorvaneStoreLastError() gives the text of the last failure, naming the file;
// a damaged or foreign file is also reported once on standard error.
#include "registry/RegBackend.h"

#include <string>

TRegBackend& StoreRegBackend();

// The last failure of the store on this thread, "registry store '<file>': <reason>"; empty when none.
// Opening or creating a key clears it, so after a failed one-shot operation it names that failure.
std::string GorvaneStoreLastError();

// The file of the current user's (machine false) or the machine's (machine true) registry.
std::string GorvaneStoreFile(bool machine);

// Closes both files and forgets where they are, so that the next call reads GORVANE_REGISTRY_DIR
// again. Every open key handle becomes invalid. For tests and tools that switch stores.
void GorvaneStoreReset();
