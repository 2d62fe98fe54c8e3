#include "app/covers/drawing/cover_page.h"

#include <QDateTime>
#include <QLocale>
#include <system_error>

#include "app/covers/drawing/cover_painter.h"
#include "app/settings/settings.h"
#include "fax_document/apf/file_errors.h"
#include "fax_document/components/fax_converter.h"
#include "platform/atomic_file.h"
#include "serial/errors/exceptions.h"

namespace ql {

TCoverValues CoverValuesNow(const TCoverSheet& sheet) {
  const QDateTime now = QDateTime::currentDateTime();
  const QLocale locale = QLocale::system();
  return ValuesOf(sheet, Settings(), locale.toString(now.date(), QLocale::ShortFormat).toStdString(),
                  locale.toString(now.time(), QLocale::ShortFormat).toStdString());
}

TMonoBitmap ToMonoBitmap(const QImage& page) {
  const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
  TMonoBitmap bitmap(grey.width(), grey.height(), /*whiteIsOne=*/true);
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* in = grey.constScanLine(y);
    uint8_t* out = bitmap.Row(y);
    for (int x = 0; x < grey.width(); ++x)
      if (in[x] < 128) out[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
  }
  return bitmap;
}

int MakeCoverFile(const std::filesystem::path& templatePath, const TCoverValues& values,
                  const std::filesystem::path& output) {
  const TMonoBitmap bitmap = ToMonoBitmap(DrawCoverPage(ReadCoverTemplateFile(templatePath), values));
  const std::filesystem::path temporary = TemporarySibling(output);
  std::error_code ec;
  try {
    TFaxConverter converter;
    converter.SetOptions(coYield);
    converter.SetResolution(frHigh);
    converter.SetLeftMargin(0);
    converter.SetOutFileName(temporary.string());
    converter.ConvertBitmapToApf(&bitmap);
  } catch (const std::exception& e) {
    std::filesystem::remove(temporary, ec);
    return CodeOfException(e);
  }
  std::filesystem::rename(temporary, output, ec);
  if (ec) {
    const int code = FileErrorCode(ec.value());
    std::filesystem::remove(temporary, ec);
    return code;
  }
  return 0;
}

QImage CoverPreview(const QImage& page, int width) {
  const int height = page.height() * width / page.width();
  return page.convertToFormat(QImage::Format_Grayscale8)
      .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace ql
