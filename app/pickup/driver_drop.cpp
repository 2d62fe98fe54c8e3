#include "app/pickup/driver_drop.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "app/settings/work_folders.h"
#include "platform/atomic_file.h"
#include "platform/text.h"

namespace ql {
namespace {

constexpr int kLastNumber = 99999;

// Renames without replacing: false with errno EEXIST when the target is taken. File systems
// without the no-replace rename get a hard link and an unlink, which is just as exclusive.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

// The upper-case names of the folder's entries.
std::unordered_set<std::string> NamesIn(const std::filesystem::path& folder) {
  std::unordered_set<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.insert(ToUpperAscii(it->path().filename().string()));
  return names;
}

// Puts the fax into the send folder under a work name: a rename when both are on one file
// system, else a copy written whole.
bool MoveIntoFolder(const std::filesystem::path& apf, const std::filesystem::path& work, std::string& error) {
  if (::rename(apf.c_str(), work.c_str()) == 0) return true;
  if (errno != EXDEV) {
    error = std::string("cannot move the fax into the send folder: ") + std::strerror(errno);
    return false;
  }
  if (!CopyFaxFile(apf, work)) {
    error = "cannot copy the fax into the send folder";
    return false;
  }
  std::error_code ec;
  std::filesystem::remove(apf, ec);
  return true;
}

}  // namespace

std::filesystem::path DriverWorkName(const std::filesystem::path& sendFolder) {
  static std::atomic<unsigned> counter{0};
  return sendFolder / (".driver-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part");
}

DropResult DropDriverFax(const std::filesystem::path& sendFolder, const std::filesystem::path& apf,
                         const FaxDescriptor& descriptor, std::string_view prefix) {
  DropResult result;
  std::error_code ec;
  std::filesystem::create_directories(sendFolder, ec);
  if (!IsCompleteApf(apf)) {
    result.error = "the fax file " + apf.string() + " is not a finished fax";
    return result;
  }
  const bool inPlace = apf.parent_path() == sendFolder;
  const std::filesystem::path work = inPlace ? apf : DriverWorkName(sendFolder);
  if (!inPlace && !MoveIntoFolder(apf, work, result.error)) return result;
  // Back where it came from when the drop fails.
  auto undo = [&] {
    if (!inPlace && ::rename(work.c_str(), apf.c_str()) != 0 && !CopyFaxFile(work, apf)) return;
    if (!inPlace) std::filesystem::remove(work, ec);
  };

  std::array<char, 6> digits{};
  for (int n = 0; n <= kLastNumber; ++n) {
    // Listed again after a name was taken under our hands.
    const std::unordered_set<std::string> taken = NamesIn(sendFolder);
    for (; n <= kLastNumber; ++n) {
      std::snprintf(digits.data(), digits.size(), "%05d", n);
      const std::string base = ToUpperAscii(std::string(prefix) + digits.data());
      if (!taken.contains(base + ".APF") && !taken.contains(base + kDescriptorExtension)) break;
    }
    if (n > kLastNumber) break;
    const std::string base = std::string(prefix) + digits.data();
    const std::filesystem::path target = sendFolder / (base + ".APF");
    if (!RenameNoReplace(work, target)) {
      if (errno == EEXIST) continue;
      result.error = std::string("cannot name the fax in the send folder: ") + std::strerror(errno);
      undo();
      return result;
    }
    const std::filesystem::path orq = sendFolder / (base + kDescriptorExtension);
    // Not flushed: the fax beside it is not either, and a descriptor emptied by a crash
    // has fewer than three lines, which the pickup leaves alone.
    if (!WriteFileAtomically(orq, DescriptorText(descriptor), false)) {
      result.error = "cannot write the descriptor " + orq.string();
      if (::rename(target.c_str(), work.c_str()) != 0) std::filesystem::remove(target, ec);
      undo();
      return result;
    }
    result.ok = true;
    result.apf = target;
    return result;
  }
  result.error = "the send folder has no free fax name left";
  undo();
  return result;
}

}  // namespace ql
