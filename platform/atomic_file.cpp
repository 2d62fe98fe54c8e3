#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace ql {

std::filesystem::path TemporarySibling(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path tmp = target;
  tmp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return tmp;
}

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view data, bool durable) {
  const std::filesystem::path tmp = TemporarySibling(target);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  const char* p = data.data();
  std::size_t left = data.size();
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && durable && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

}  // namespace ql
