#include "fax_document/export/png_export.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "fax_document/apf/file_errors.h"
#include "serial/errors/error_codes.h"

namespace ql {

int WritePng(const std::filesystem::path& path, const TMonoBitmap& bitmap) {
  if (bitmap.Empty()) return ecCantMakeBitmap;
  // PNG greyscale: 1 = white.
  const TMonoBitmap& image = bitmap.WhiteIsOne() ? bitmap : bitmap.Inverted();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return LastFileErrorCode();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  volatile int rc = 0;
  if (png == nullptr || info == nullptr) {
    rc = ecCantMakeBitmap;
  } else if (setjmp(png_jmpbuf(png))) {
    rc = ecCantMakeBitmap;
  } else {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()), static_cast<png_uint_32>(image.Height()), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.Height(); ++y) png_write_row(png, image.Row(y));
    png_write_end(png, info);
  }
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0 && rc == 0) rc = LastFileErrorCode();
  std::error_code ignored;
  if (rc < 0) std::filesystem::remove(path, ignored);
  return static_cast<int>(rc);
}

}  // namespace ql
