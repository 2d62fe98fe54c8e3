#pragma once
// Writing a file whole or not at all: the data goes to a temporary file beside the
// target, is flushed to disk, and then renamed over the target.

#include <filesystem>
#include <string_view>

namespace ql {

// Returns false (and leaves the target as it was) when any step fails. Without `durable`
// the data is not flushed to disk first: after a crash the target is then the old file,
// the new one, or empty, never a mix (for files whose readers take an empty one as absent).
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view data, bool durable = true);

// A temporary name in the same folder as target, unique to this process and call.
std::filesystem::path TemporarySibling(const std::filesystem::path& target);

}  // namespace ql
