#include "app/reports/transmission_report.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstring>
#include <system_error>
#include <vector>

#include "app/send_flow/fax_status_values.h"
#include "fax_document/components/fax_unpacker.h"
#include "platform/file_names.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The first page of a fax as an image (black on white), or a null image.
QImage FirstPage(const std::string& faxFile) {
  try {
    TFaxUnpacker unpacker;
    unpacker.SetOptions(0);
    unpacker.SetInFileName(faxFile);
    if (unpacker.PageCountOf() == 0) return {};
    const std::unique_ptr<TMonoBitmap> page = unpacker.PageToBitmap(1);
    if (!page || page->Empty()) return {};
    QImage image(page->Width(), page->Height(), QImage::Format_Mono);
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    image.setColorTable(page->WhiteIsOne() ? QList<QRgb>{black, white} : QList<QRgb>{white, black});
    const int bytes = std::min<int>(page->BytesPerRow(), image.bytesPerLine());
    for (int y = 0; y < page->Height(); ++y) std::memcpy(image.scanLine(y), page->Row(y), bytes);
    return image;
  } catch (...) {
    return {};
  }
}

}  // namespace

std::string ReportStem(const std::string& faxDoc, const std::string& faxCover) {
  std::string name = BareFileName(faxDoc.empty() ? faxCover : faxDoc);
  if (name.empty()) return {};
  return ToUpperAscii(fs::path(name).stem().string());
}

fs::path WriteTransmissionReport(const TSendOutcome& o, const std::string& stem, const fs::path& folder) {
  if (stem.empty()) return {};
  const QDateTime when = QDateTime::fromSecsSinceEpoch(o.finished);
  const fs::path target =
      folder / (stem + "-TR-" + when.toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString() + ".pdf");
  const fs::path partial = target.string() + ".part";
  {
    QPdfWriter pdf(Q(partial.string()));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(150);
    pdf.setTitle(QStringLiteral("Transmission report"));
    pdf.setCreator(QStringLiteral("Quillet"));
    QPainter p;
    if (!p.begin(&pdf)) return {};
    const int width = pdf.width();
    const int margin = 0;
    QFont title(QStringLiteral("Sans"), 18, QFont::Bold);
    p.setFont(title);
    int y = 60;
    p.drawText(margin, y, QStringLiteral("Transmission Report"));
    y += 50;
    QFont body(QStringLiteral("Sans"), 11);
    p.setFont(body);
    const std::pair<const char*, QString> lines[] = {
        {"Date:", when.toString(QStringLiteral("d MMM yyyy  HH:mm:ss"))},
        {"Remote ID:", o.remoteId.empty() ? QStringLiteral("(none reported)") : Q(o.remoteId)},
        {"Number:", Q(o.phoneNumber)},
        {"Pages:", QString::number(o.pages)},
        {"Duration:", Q(std::string(TrimLeft(FormatClock(o.seconds))))},
        {"Rate:", o.bps > 0 ? QStringLiteral("%1 bit/s").arg(o.bps) : QStringLiteral("-")},
        {"Result:", Q(o.resultText)},
    };
    const int lineHeight = 34;
    for (const auto& [label, value] : lines) {
      p.drawText(margin, y, QString::fromLatin1(label));
      p.drawText(margin + 220, y, value);
      y += lineHeight;
    }
    y += 20;
    const QImage page = FirstPage(o.sendFile);
    if (!page.isNull()) {
      p.drawText(margin, y, QStringLiteral("First page:"));
      y += 16;
      // About half the page: a reduced copy that still shows the layout and the header line.
      const QSize box(width * 6 / 10, pdf.height() - y - 40);
      const QSize size = page.size().scaled(box, Qt::KeepAspectRatio);
      const QRect rect(margin, y, size.width(), size.height());
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      p.drawImage(rect, page.convertToFormat(QImage::Format_Grayscale8));
      p.setPen(Qt::gray);
      p.drawRect(rect);
    }
    if (!p.end()) return {};
  }
  std::error_code ec;
  if (!fs::exists(partial, ec) || fs::file_size(partial, ec) == 0) {
    fs::remove(partial, ec);
    return {};
  }
  fs::rename(partial, target, ec);
  if (ec) {
    fs::remove(partial, ec);
    return {};
  }
  return target;
}

namespace {

// The reports of a stem in folder, in no particular order.
std::vector<fs::path> ReportsOf(const std::string& stem, const fs::path& folder) {
  std::vector<fs::path> reports;
  if (stem.empty()) return reports;
  const std::string prefix = stem + "-TR-";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() + 4 || !EqualsIgnoreCase(name.substr(0, prefix.size()), prefix)) continue;
    if (!EqualsIgnoreCase(name.substr(name.size() - 4), ".pdf")) continue;
    reports.push_back(entry.path());
  }
  return reports;
}

}  // namespace

fs::path LastTransmissionReport(const std::string& stem, const fs::path& folder) {
  fs::path newest;
  for (const fs::path& report : ReportsOf(stem, folder))
    if (newest.empty() || report.filename().string() > newest.filename().string()) newest = report;
  return newest;
}

void RemoveTransmissionReports(const std::string& stem, const fs::path& folder) {
  std::error_code ec;
  for (const fs::path& report : ReportsOf(stem, folder)) fs::remove(report, ec);
}

}  // namespace ql
