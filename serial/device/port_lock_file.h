#pragma once
// The UUCP lock file convention for serial devices: a file "LCK..<name>" in the lock
// folder holds the process id of the program that uses the device, as ten characters
// right-aligned and a line end. A lock whose process no longer runs is stale and taken
// over.

#include <string>

namespace ql {

enum class LockResult { Locked, HeldByOther, NoLockFolder, Failed };

// The lock file path of a device path: "/dev/ttyS0" -> "<folder>/LCK..ttyS0",
// "/dev/pts/3" -> "<folder>/LCK..pts_3".
std::string LockFilePath(const std::string& folder, const std::string& devicePath);

// Takes the lock for this process. A lock held by this very process counts as held,
// since the device is then already open in another port.
LockResult TakeDeviceLock(const std::string& folder, const std::string& devicePath);
// Removes the lock when this process holds it.
void ReleaseDeviceLock(const std::string& folder, const std::string& devicePath);

}  // namespace ql
