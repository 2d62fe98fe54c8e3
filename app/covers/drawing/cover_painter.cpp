#include "app/covers/drawing/cover_painter.h"

#include <QPainter>
#include <algorithm>

#include "app/covers/drawing/cover_fonts.h"

namespace ql {
namespace {

// Template numbers are 32-bit; positions and sizes are kept to a range that no sum of
// them can overflow and that reaches well past the page on every side.
constexpr int64_t kCoordinateLimit = 1 << 20;
constexpr int kMaxPenWidth = 400;

int Coordinate(int64_t value) { return static_cast<int>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit)); }

// The item's box on the page: (X + 98, Y + 98) to (X + W + 98, Y + H + 98).
struct Box {
  int left, top, right, bottom;
};

Box BoxOf(const TCoverItem& item) {
  const int64_t x = Coordinate(item.X), y = Coordinate(item.Y);
  const int64_t w = Coordinate(item.W), h = Coordinate(item.H);
  return Box{Coordinate(x + kCoverOffset), Coordinate(y + kCoverOffset), Coordinate(x + w + kCoverOffset),
             Coordinate(y + h + kCoverOffset)};
}

// The box as a rectangle whose outline runs along both of its edges.
QRect RectOf(const TCoverItem& item) {
  const Box b = BoxOf(item);
  return QRect(b.left, b.top, b.right - b.left, b.bottom - b.top).normalized();
}

QPen ItemPen(const TCoverItem& item) {
  QPen pen(Qt::black);
  pen.setWidth(std::clamp<int32_t>(item.PenWidth, 0, kMaxPenWidth));
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

QBrush ItemBrush(const TCoverItem& item) {
  switch (item.Fill) {
    case cfWhite: return QBrush(Qt::white);
    case cfBlack: return QBrush(Qt::black);
    default: return QBrush(Qt::NoBrush);
  }
}

void DrawText(QPainter& p, const TCoverItem& item, const QString& text) {
  const Box box = BoxOf(item);
  p.setFont(CoverFont(item));
  p.setPen(Qt::black);
  // The item's position is the top-left corner of the text, not its baseline.
  p.drawText(QPoint(box.left, box.top + p.fontMetrics().ascent()), text);
}

void DrawShape(QPainter& p, const TCoverItem& item) {
  const QRect rect = RectOf(item);
  p.setPen(ItemPen(item));
  p.setBrush(ItemBrush(item));
  switch (item.ShapeKind) {
    case 0: case 1: p.drawRect(rect); break;
    case 2: case 3: {
      const double radius = std::max(0, CornerEllipse(item.W, item.H, item.Roundness)) / 2.0;
      p.drawRoundedRect(rect, radius, radius, Qt::AbsoluteSize);
      break;
    }
    case 4: case 5: p.drawEllipse(rect); break;
    default: break;  // other shapes draw nothing
  }
}

void DrawLine(QPainter& p, const TCoverItem& item) {
  const Box b = BoxOf(item);
  p.setPen(ItemPen(item));
  switch (item.LineDirection) {
    case ldHorizontal: p.drawLine(b.left, b.top, b.right, b.top); break;
    case ldVertical: p.drawLine(b.left, b.top, b.left, b.bottom); break;
    case ldRising: p.drawLine(b.left, b.bottom, b.right, b.top); break;
    case ldFalling: p.drawLine(b.left, b.top, b.right, b.bottom); break;
    default: break;  // other directions draw nothing
  }
}

// The flag line is drawn only when a flag is set; each set flag gets an "X" in its box,
// placed by the drawn width of the text in front of it.
void DrawFlagLine(QPainter& p, const TCoverItem& item, const TImportanceFlags& flags) {
  if (!AnyFlagSet(flags)) return;
  DrawText(p, item, QString::fromLatin1(kFlagLineText.data(), static_cast<int>(kFlagLineText.size())));
  const Box box = BoxOf(item);
  const int baseline = box.top + p.fontMetrics().ascent();
  for (int flag = 0; flag < kImportanceFlagCount; ++flag) {
    if (!flags[flag]) continue;
    const std::string_view prefix = FlagMarkPrefix(flag);
    const int advance =
        p.fontMetrics().horizontalAdvance(QString::fromLatin1(prefix.data(), static_cast<int>(prefix.size())));
    p.drawText(QPoint(box.left + advance, baseline), QStringLiteral("X"));
  }
}

void DrawMessageBox(QPainter& p, const TCoverItem& item, const std::string& message) {
  const QRect rect = RectOf(item);
  p.save();
  p.setFont(CoverFont(item));
  p.setPen(Qt::black);
  p.setClipRect(rect);
  p.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdString(message));
  p.restore();
}

void DrawItem(QPainter& p, const TCoverItem& item, const TCoverValues& values) {
  switch (item.Kind) {
    case 0: case ikText: DrawText(p, item, QString::fromStdString(item.Text)); break;
    case ikShape: DrawShape(p, item); break;
    case ikLine: DrawLine(p, item); break;
    case ikFlagLine: DrawFlagLine(p, item, values.Flags); break;
    case ikDataField:
      DrawText(p, item, QString::fromStdString(DataFieldText(values, item.DataField, item.Text)));
      break;
    case ikMessageBox: DrawMessageBox(p, item, values.Message); break;
    default: break;  // an unknown kind draws nothing
  }
}

}  // namespace

QImage NewCoverPage() {
  QImage page(kCoverPageWidth, kCoverPageHeight, QImage::Format_RGB32);
  page.fill(Qt::white);
  return page;
}

int CornerEllipse(int32_t width, int32_t height, int32_t roundness) {
  const int64_t extent = std::max<int64_t>(Coordinate(width), Coordinate(height));
  return Coordinate(extent * std::clamp<int32_t>(roundness, -1000, 1000) / 100);
}

void DrawCoverItems(QImage& page, const std::vector<TCoverItem>& items, const TCoverValues& values) {
  QPainter p(&page);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (const TCoverItem& item : items) DrawItem(p, item, values);
}

QImage DrawCoverPage(const TCoverTemplate& coverTemplate, const TCoverValues& values) {
  QImage page = NewCoverPage();
  DrawCoverItems(page, coverTemplate.Items, values);
  page.setPixel(kCoverPageWidth - 1, kCoverPageHeight - 1, qRgb(0, 0, 0));
  return page;
}

}  // namespace ql
