#include "table_engine/file_io.h"

#include <unistd.h>

#include <cerrno>

namespace ql::xb {

bool FullReadAt(int fd, void* buf, std::size_t n, off_t at) {
  auto* p = static_cast<char*>(buf);
  while (n > 0) {
    const ssize_t got = ::pread(fd, p, n, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got, n -= static_cast<std::size_t>(got), at += got;
  }
  return true;
}

bool FullWriteAt(int fd, const void* buf, std::size_t n, off_t at) {
  const auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    const ssize_t put = ::pwrite(fd, p, n, at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put, n -= static_cast<std::size_t>(put), at += put;
  }
  return true;
}

}  // namespace ql::xb
