#include "fax_document/ui/tests/sample_fax.h"

#include <memory>
#include <random>

#include "fax_document/apf/apf_append.h"
#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"

namespace ql::testing {

TMonoBitmap PatternPage(int seed, int height, int width) {
  TMonoBitmap page(width, height, false);
  for (int x = 0; x < width; ++x) {
    page.SetBlack(x, 0);
    page.SetBlack(x, height - 1);
  }
  for (int y = 0; y < height; ++y) {
    page.SetBlack(0, y);
    page.SetBlack(width - 1, y);
  }
  const int left = 40 + (seed * 97) % (width - 300), top = 40 + (seed * 53) % (height - 300);
  for (int y = top; y < top + 120; ++y)
    for (int x = left; x < left + 200; ++x) page.SetBlack(x, y);
  std::mt19937 random(static_cast<unsigned>(seed));
  for (int y = height / 2; y < height / 2 + 40; ++y)
    for (int x = 8; x < width - 8; ++x)
      if (random() % 3 == 0) page.SetBlack(x, y);
  return page;
}

int WriteFax(const std::filesystem::path& apf, const std::vector<TMonoBitmap>& pages, bool highRes) {
  std::error_code ec;
  std::filesystem::remove(apf, ec);
  for (size_t i = 0; i < pages.size(); ++i) {
    const std::filesystem::path part = i == 0 ? apf : std::filesystem::path(apf.string() + ".part");
    ConverterCore core(std::make_unique<BitmapSource>(&pages[i]));
    core.SetOptions(0);
    core.SetMargins(0, 0);
    core.SetPageWidth(static_cast<unsigned>(pages[i].Width()));
    core.SetHighRes(highRes);
    if (const int rc = core.ConvertToFile("bitmap", part); rc < 0) return rc;
    if (i > 0) {
      const int rc = AppendApf(apf, part);
      std::filesystem::remove(part, ec);
      if (rc < 0) return rc;
    }
  }
  return 0;
}

int WritePatternFax(const std::filesystem::path& apf, int pages, bool highRes, int height) {
  std::vector<TMonoBitmap> bitmaps;
  for (int p = 1; p <= pages; ++p) bitmaps.push_back(PatternPage(p, height));
  return WriteFax(apf, bitmaps, highRes);
}

}  // namespace ql::testing
