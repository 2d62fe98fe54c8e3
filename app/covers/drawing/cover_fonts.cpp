#include "app/covers/drawing/cover_fonts.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <algorithm>
#include <map>
#include <mutex>

#include "app/covers/format/cover_template.h"

namespace ql {
namespace {

constexpr const char* kFallbackFamily = "sans-serif";
// Sizes beyond these draw nothing sensible on a fax page and only cost time.
constexpr int kMinPoints = 1;
constexpr int kMaxPoints = 400;

// fontconfig's choice for a family name, or an empty text when it has none.
QString MatchFamily(const std::string& name) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return {};
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  QString family;
  FcChar8* value = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch)
    family = QString::fromUtf8(reinterpret_cast<const char*>(value));
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return family;
}

bool Installed(const QString& family) { return !family.isEmpty() && QFontDatabase::hasFamily(family); }

}  // namespace

QString CoverFontFamily(const std::string& templateFontName) {
  static std::mutex lock;
  static std::map<std::string, QString> known;
  std::lock_guard guard(lock);
  if (const auto it = known.find(templateFontName); it != known.end()) return it->second;
  QString family = templateFontName.empty() ? QString() : MatchFamily(templateFontName);
  if (!Installed(family)) family = MatchFamily(kFallbackFamily);
  if (!Installed(family)) family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  known.emplace(templateFontName, family);
  return family;
}

int CoverFontPixels(int points) {
  const int clamped = std::clamp(points, kMinPoints, kMaxPoints);
  return (clamped * 96 + 36) / 72;
}

QFont CoverFont(const TCoverItem& item) {
  QFont font(CoverFontFamily(item.FontName));
  font.setPixelSize(CoverFontPixels(item.FontSize));
  font.setBold(item.Bold);
  font.setItalic(item.Italic);
  font.setUnderline(item.Underline);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
  font.setKerning(false);
  return font;
}

}  // namespace ql
