#include "app/pickup/pickup.h"

#include <vector>

#include "app/fax_store/fax_store.h"
#include "app/pickup/driver_files.h"
#include "platform/file_names.h"
#include "platform/text.h"

namespace ql {
namespace {

bool IsDescriptorName(const std::filesystem::path& name) {
  return EqualsIgnoreCase(name.extension().string(), kDescriptorExtension) && !name.stem().empty();
}

}  // namespace

TPickup ProcessPDFaxFile(xb::TTableEngine& out, const std::filesystem::path& apf) {
  const std::filesystem::path folder = apf.parent_path();
  const std::string base = apf.stem().string();
  const auto fax = FindIgnoringCase(folder, apf.filename().string());
  const auto orq = FindIgnoringCase(folder, base + kDescriptorExtension);
  if (!fax || !orq || !IsCompleteApf(*fax)) return TPickup::puLeft;
  const auto descriptor = ReadDescriptor(*orq);
  if (!descriptor) return TPickup::puLeft;

  if (AppendDriverFax(out, fax->filename().string(), descriptor->recipient, descriptor->subject,
                      descriptor->number) != 0)
    return TPickup::puLeft;
  // A descriptor that cannot be removed would bring the same fax in again at every
  // activation: the new row is withdrawn instead and the pair tried again later.
  std::error_code ec;
  if (!std::filesystem::remove(*orq, ec) || ec) {
    DeleteRow(out);
    return TPickup::puLeft;
  }
  return TPickup::puTaken;
}

bool ProcessExtraPDFaxFiles(xb::TTableEngine& out, const std::filesystem::path& sendFolder,
                            const std::function<void()>& reopen) {
  std::vector<std::filesystem::path> descriptors;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(sendFolder, ec), end; !ec && it != end; it.increment(ec))
    if (IsDescriptorName(it->path().filename())) descriptors.push_back(it->path());
  if (descriptors.empty()) return false;
  for (const auto& orq : descriptors) {
    std::filesystem::path apf = orq;
    apf.replace_extension(".APF");
    ProcessPDFaxFile(out, apf);
  }
  if (reopen) reopen();
  return true;
}

}  // namespace ql
