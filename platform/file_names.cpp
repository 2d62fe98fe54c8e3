#include "platform/file_names.h"

#include "platform/text.h"

namespace ql {

std::string BareFileName(std::string_view stored) {
  const auto slash = stored.find_last_of("/\\");
  if (slash != std::string_view::npos) stored.remove_prefix(slash + 1);
  if (stored == "." || stored == "..") return {};
  return std::string(stored);
}

std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name) {
  std::error_code ec;
  const std::filesystem::path exact = folder / std::string(name);
  if (std::filesystem::exists(exact, ec)) return exact;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  for (const auto& entry : it) {
    if (EqualsIgnoreCase(entry.path().filename().string(), name)) return entry.path();
  }
  return std::nullopt;
}

std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& folder, std::string_view name) {
  return FindIgnoringCase(folder, name).value_or(folder / std::string(name));
}

}  // namespace ql
