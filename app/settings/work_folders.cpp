#include "app/settings/work_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <unordered_set>

#include "platform/atomic_file.h"
#include "platform/data_folder.h"
#include "platform/file_names.h"
#include "platform/text.h"

namespace ql {

std::filesystem::path AppFolderPath() { return DataFolder(); }

std::string AppFolder() {
  std::string folder = AppFolderPath().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::filesystem::path SendFolder() { return ResolveIgnoringCase(AppFolderPath(), "SEND"); }
std::filesystem::path ReceiveFolder() { return ResolveIgnoringCase(AppFolderPath(), "Receive"); }
std::filesystem::path CoversFolder() { return ResolveIgnoringCase(AppFolderPath(), "Covers"); }

void EnsureWorkFolders() {
  std::error_code ec;
  std::filesystem::create_directories(SendFolder(), ec);
  std::filesystem::create_directories(ReceiveFolder(), ec);
}

std::filesystem::path NextFreeFaxName(const std::filesystem::path& folder, std::string_view prefix) {
  // One pass over the folder instead of a lookup per number: the names taken, in upper case.
  std::unordered_set<std::string> taken;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    taken.insert(ToUpperAscii(it->path().filename().string()));

  std::array<char, 6> digits{};
  std::string name;
  for (int n = 0; n <= 99999; ++n) {
    std::snprintf(digits.data(), digits.size(), "%05d", n);
    name = std::string(prefix) + digits.data() + ".APF";
    if (!taken.contains(ToUpperAscii(name))) break;
  }
  return folder / name;
}

std::filesystem::path NextFreeSendName(std::string_view prefix) { return NextFreeFaxName(SendFolder(), prefix); }
std::filesystem::path NextFreeWorkName(std::string_view prefix) { return NextFreeFaxName(AppFolderPath(), prefix); }

bool CopyFaxFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  if (source.string() == target.string()) return false;
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  // Copy into a temporary name and rename at the end, so a failed copy leaves no
  // half-written fax where the lists would find it.
  const std::filesystem::path tmp = TemporarySibling(target);
  const int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  std::array<char, 2048> block{};
  for (;;) {
    const ssize_t got = ::read(in, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t put = ::write(out, block.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) ok = false;
      else done += put;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

std::string TrimBoth(std::string_view text) { return std::string(Trim(text, " ")); }

}  // namespace ql
