#include "serial/device/port_lock_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ql {

namespace {

// The process id in a lock file, or 0 when the file cannot be read or holds none.
long LockOwner(const std::string& path) {
  std::ifstream in(path);
  long pid = 0;
  if (!(in >> pid)) return 0;
  return pid;
}

bool ProcessRuns(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Writes a lock file whole under a temporary name and links it to the lock name, so a
// competing program never sees a half-written lock. false: the name exists.
LockResult CreateLock(const std::string& path) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return (errno == ENOENT || errno == EACCES || errno == EROFS) ? LockResult::NoLockFolder : LockResult::Failed;
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
  const bool written = ::write(fd, text, static_cast<size_t>(length)) == length;
  ::close(fd);
  LockResult result = LockResult::Locked;
  if (!written) result = LockResult::Failed;
  else if (::link(temp.c_str(), path.c_str()) != 0) result = errno == EEXIST ? LockResult::HeldByOther : LockResult::Failed;
  ::unlink(temp.c_str());
  return result;
}

}  // namespace

std::string LockFilePath(const std::string& folder, const std::string& devicePath) {
  std::string name = devicePath;
  if (name.rfind("/dev/", 0) == 0) name.erase(0, 5);
  for (char& c : name)
    if (c == '/') c = '_';
  return folder + "/LCK.." + name;
}

LockResult TakeDeviceLock(const std::string& folder, const std::string& devicePath) {
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return LockResult::NoLockFolder;
  const std::string path = LockFilePath(folder, devicePath);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const LockResult result = CreateLock(path);
    if (result != LockResult::HeldByOther) return result;
    if (ProcessRuns(LockOwner(path))) return LockResult::HeldByOther;
    ::unlink(path.c_str());  // stale: its program has ended
  }
  return LockResult::HeldByOther;
}

void ReleaseDeviceLock(const std::string& folder, const std::string& devicePath) {
  const std::string path = LockFilePath(folder, devicePath);
  if (LockOwner(path) == static_cast<long>(::getpid())) ::unlink(path.c_str());
}

}  // namespace ql
