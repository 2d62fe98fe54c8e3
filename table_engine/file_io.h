#pragma once
// Whole-buffer positional reads and writes (retrying short transfers and EINTR).

#include <sys/types.h>

#include <cstddef>

namespace ql::xb {

bool FullReadAt(int fd, void* buf, std::size_t n, off_t at);
bool FullWriteAt(int fd, const void* buf, std::size_t n, off_t at);

}  // namespace ql::xb
