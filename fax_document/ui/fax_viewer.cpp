#include "fax_document/ui/fax_viewer.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "fax_document/ui/mono_image.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// Stops a page change from starting while a page is being set up (messages run while
// pages are unpacked).
bool viewerBusy = false;

constexpr int kAutoScrollMs = 50;
constexpr int kFarOutside = 20;

QColor FromColorRef(intptr_t value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

class BusyCursor {
 public:
  explicit BusyCursor(Qt::CursorShape shape) : active_(shape != Qt::ArrowCursor) {
    if (active_) QApplication::setOverrideCursor(QCursor(shape));
  }
  ~BusyCursor() {
    if (active_) QApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool active_;
};

}  // namespace

TViewer::TViewer(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("qlViewer"));
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);  // the run-time window always accepts dropped files
  viewport()->setAcceptDrops(true);  // drops land on the page area
  viewport()->setAutoFillBackground(false);
  viewport()->setMouseTracking(false);
  autoScroll_.setInterval(kAutoScrollMs);
  connect(&autoScroll_, &QTimer::timeout, this, &TViewer::AutoScroll);
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
    if (VerticalPosition() == 0) RecomputeRanges();
  });
  connect(horizontalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
    if (HorizontalPosition() == 0) RecomputeRanges();
  });
  handle_ = CreateMessageWindow("qlViewer", [this](uint32_t msg, uintptr_t w, intptr_t l) { return Perform(msg, w, l); });
  RecomputeRanges();
}

TViewer::~TViewer() { DestroyMessageWindow(handle_); }

int TViewer::HorizontalPosition() const { return horizontalScrollBar()->value(); }
int TViewer::VerticalPosition() const { return verticalScrollBar()->value(); }

std::shared_ptr<const TMonoBitmap> TViewer::CurrentBitmap() const {
  if (currentPage_ == 0 || currentPage_ > pages_.Count()) return nullptr;
  return const_cast<TViewerPages&>(pages_).Page(currentPage_).Bitmap;
}

intptr_t TViewer::Default(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return defaultProc_ ? defaultProc_(msg, wParam, lParam) : 0;
}

intptr_t TViewer::Perform(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case wmViewSetFile:
      return OpenFile(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
    case wmViewSetFG:
      foreground_ = FromColorRef(lParam);
      scaledFrom_ = nullptr;
      viewport()->update();
      return 0;
    case wmViewSetBG:
      background_ = FromColorRef(lParam);
      scaledFrom_ = nullptr;
      viewport()->update();
      return 0;
    case wmViewSetScale:
      return lParam != 0 ? SetScale(reinterpret_cast<const int*>(lParam)) : ecBadArgument;
    case wmViewSetScroll:
      if (wParam != 0) horizStep_ = static_cast<int>(wParam);
      if (lParam != 0) vertStep_ = static_cast<int>(lParam);
      return 0;
    case wmViewSelectAll:
      if (!CurrentBitmap()) return ecNoImageLoaded;
      return Select(TViewRect{0, 0, pageWidth_ - 1, pageHeight_ - 1});
    case wmViewSelect:
      if (!CurrentBitmap()) return ecNoImageLoaded;
      return lParam != 0 ? Select(*reinterpret_cast<const TViewRect*>(lParam)) : ecBadArgument;
    case wmViewCopy:
      return Copy();
    case wmViewSetWndProc:
      // Without a procedure the default one (which does nothing) takes over again; an
      // MDI child (wParam 1) has no other default here.
      defaultProc_ = lParam != 0 ? *reinterpret_cast<const TViewProc*>(lParam) : TViewProc();
      return 0;
    case wmViewSetWhitespace:
      return pages_.Core().SetWhitespace(static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
    case wmViewGetBitmap: {
      auto* out = reinterpret_cast<TViewBitmap*>(lParam);
      if (wParam == 0 || wParam > pages_.Count()) return 0;
      const auto page = static_cast<unsigned>(wParam);
      std::shared_ptr<TMonoBitmap> bitmap = pages_.Page(page).Bitmap;
      if (!bitmap) {
        BusyCursor busy(busyCursor_);
        if (const int rc = pages_.UnpackDetached(page, rotation_, bitmap); rc < 0) {
          ReportError(rc);
          return 0;
        }
      }
      if (out != nullptr) *out = TViewBitmap{bitmap->Width(), bitmap->Height(), bitmap};
      return 1;
    }
    case wmViewGetNumPages:
      return pages_.Count();
    case wmViewStartUpdate:
      updateLock_ = true;
      return 0;
    case wmViewEndUpdate:
      updateLock_ = false;
      if (pages_.IsOpen() && currentPage_ != 0) SetUpPage();
      viewport()->update();
      return 0;
    case wmViewGotoPage:
      return GotoPage(static_cast<unsigned>(wParam));
    case wmViewGetCurPage:
      return pages_.IsOpen() ? currentPage_ : 0;
    case wmViewSetDesignMode:
      designMode_ = true;
      designText_ = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      viewport()->update();
      return 0;
    case wmViewSetRotation:
      return SetRotation(static_cast<int>(wParam));
    case wmViewSetAutoScale:
      pages_.Core().ClearFlags(ufDoubleHeight | ufHalfWidth);
      if (wParam == ufDoubleHeight || wParam == ufHalfWidth) pages_.Core().SetFlags(static_cast<uint16_t>(wParam));
      return 0;
    case wmViewGetPageDim: {
      auto* rect = reinterpret_cast<TViewRect*>(lParam);
      const auto bitmap = CurrentBitmap();
      if (rect != nullptr)
        *rect = bitmap ? TViewRect{0, 0, bitmap->Width() - 1, bitmap->Height() - 1} : TViewRect{0, 0, -1, -1};
      return 0;
    }
    case wmViewSetLoadWholeFax:
      return SetLoadWholeFax(wParam != 0);
    case wmViewSetBusyCursor:
      busyCursor_ = static_cast<Qt::CursorShape>(wParam);
      return 0;
    case wmViewGetPageFlags:
      return pages_.LastPageFlags();
    default:
      return Default(msg, wParam, lParam);
  }
}

void TViewer::ReportError(int code) { Perform(wmViewError, static_cast<uintptr_t>(static_cast<intptr_t>(code)), 0); }

void TViewer::ReleaseFile() {
  pages_.Close();
  currentPage_ = 0;
  pageWidth_ = pageHeight_ = 0;
  scaledFrom_ = nullptr;
  scaled_ = QImage();
  ClearMark();
  RecomputeRanges();
  viewport()->update();
}

int TViewer::OpenFile(const std::string& name) {
  if (name.empty()) {
    ReleaseFile();
    return 0;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) return ecFileNotFound;
  ApfFileHeader header;
  if (const int rc = pages_.Core().ReadFileHeader(name, header); rc < 0) return rc;
  ReleaseFile();
  viewport()->repaint();  // the background shows while the fax loads
  if (const int rc = pages_.Open(name); rc < 0) return rc;
  rotation_ = 0;
  horizMult_ = horizDiv_ = vertMult_ = vertDiv_ = 1;
  if (pages_.Count() > 0) {
    const unsigned last = loadWholeFax_ ? pages_.Count() : 1;
    for (unsigned page = 1; page <= last; ++page) {
      if (const int rc = UnpackUnderBusyCursor(page); rc < 0) {
        ReleaseFile();
        return rc;
      }
    }
    currentPage_ = 1;
  }
  SetUpPage();
  return 0;
}

int TViewer::UnpackUnderBusyCursor(unsigned page) {
  BusyCursor busy(busyCursor_);
  return pages_.Unpack(page, rotation_);
}

void TViewer::SetUpPage() {
  if (viewerBusy) return;
  viewerBusy = true;
  if (currentPage_ != 0 && !pages_.Loaded(currentPage_)) {
    const unsigned page = currentPage_;
    const int rc = UnpackUnderBusyCursor(page);
    if (rc < 0) {
      viewerBusy = false;
      ReleaseFile();
      ReportError(rc);
      return;
    }
  }
  if (!loadWholeFax_ && currentPage_ != 0) pages_.ReleaseAround(currentPage_);
  const auto bitmap = CurrentBitmap();
  pageWidth_ = bitmap ? static_cast<int>(static_cast<int64_t>(bitmap->Width()) * horizMult_ / horizDiv_) : 0;
  pageHeight_ = bitmap ? static_cast<int>(static_cast<int64_t>(bitmap->Height()) * vertMult_ / vertDiv_) : 0;
  ClearMark();
  dragging_ = false;
  autoScroll_.stop();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  RecomputeRanges();
  viewport()->update();
  viewerBusy = false;
  Perform(wmViewPageChanged, 0, currentPage_);
}

void TViewer::RecomputeRanges() {
  const QSize client = viewport()->size();
  horizMax_ = pageWidth_ > client.width() ? pageWidth_ - client.width() : 0;
  vertMax_ = pageHeight_ > client.height() ? pageHeight_ - client.height() : 0;
  horizontalScrollBar()->setRange(0, horizMax_);
  verticalScrollBar()->setRange(0, vertMax_);
  horizontalScrollBar()->setPageStep(std::max(1, client.width()));
  verticalScrollBar()->setPageStep(std::max(1, client.height()));
  horizontalScrollBar()->setSingleStep(horizStep_);
  verticalScrollBar()->setSingleStep(vertStep_);
}

int TViewer::GotoPage(unsigned page) {
  if (page == 0 || page > pages_.Count()) return ecBadArgument;
  if (viewerBusy) return 0;
  currentPage_ = page;
  SetUpPage();
  return 0;
}

void TViewer::NextPage() {
  if (currentPage_ != 0 && currentPage_ < pages_.Count()) GotoPage(currentPage_ + 1);
}

void TViewer::PrevPage() {
  if (currentPage_ > 1) GotoPage(currentPage_ - 1);
}

void TViewer::FirstPage() {
  if (currentPage_ == 0) return;
  if (currentPage_ == 1) {
    HorizontalHome();
    VerticalHome();
  } else {
    GotoPage(1);
  }
}

void TViewer::LastPage() {
  if (currentPage_ == 0) return;
  if (pages_.Count() == 1 || currentPage_ == pages_.Count()) {
    HorizontalHome();
    VerticalHome();
  } else {
    GotoPage(pages_.Count());
  }
}

int TViewer::SetScale(const int factors[4]) {
  int f[4];
  for (int i = 0; i < 4; ++i) f[i] = std::max(1, factors[i]);
  if (f[0] == f[1]) f[0] = f[1] = 1;
  if (f[2] == f[3]) f[2] = f[3] = 1;
  const bool changed = f[0] != horizMult_ || f[1] != horizDiv_ || f[2] != vertMult_ || f[3] != vertDiv_;
  horizMult_ = f[0];
  horizDiv_ = f[1];
  vertMult_ = f[2];
  vertDiv_ = f[3];
  if (changed) {
    scaledFrom_ = nullptr;
    if (!updateLock_ && currentPage_ != 0) SetUpPage();
  }
  return 0;
}

int TViewer::SetRotation(int rotation) {
  rotation = ((rotation % 4) + 4) % 4;
  if (!pages_.IsOpen() || rotation == rotation_) return 0;
  const int turns = (rotation - rotation_ + 4) % 4;
  if (!loadWholeFax_) pages_.ReleaseAllBut(currentPage_);  // only the current page is turned
  if (const int rc = pages_.RotateLoaded(turns); rc < 0) return rc;
  rotation_ = rotation;
  scaledFrom_ = nullptr;
  SetUpPage();
  return 0;
}

int TViewer::SetLoadWholeFax(bool on) {
  loadWholeFax_ = on;
  if (!pages_.IsOpen()) return 0;
  if (on) {
    for (unsigned page = 1; page <= pages_.Count(); ++page) {
      if (pages_.Loaded(page)) continue;
      if (const int rc = UnpackUnderBusyCursor(page); rc < 0) {
        ReleaseFile();
        return rc;
      }
    }
  } else {
    pages_.ReleaseAllBut(currentPage_);
  }
  return 0;
}

void TViewer::ScrollBy(int dx, int dy) {
  if (dx != 0) horizontalScrollBar()->setValue(std::clamp(HorizontalPosition() + dx, 0, horizMax_));
  if (dy != 0) verticalScrollBar()->setValue(std::clamp(VerticalPosition() + dy, 0, vertMax_));
}

void TViewer::VerticalHome() { verticalScrollBar()->setValue(0); }
void TViewer::VerticalEnd() { verticalScrollBar()->setValue(vertMax_); }
void TViewer::HorizontalHome() { horizontalScrollBar()->setValue(0); }
void TViewer::HorizontalEnd() { horizontalScrollBar()->setValue(horizMax_); }

void TViewer::scrollContentsBy(int dx, int dy) {
  // A horizontal move wider than the window repaints everything; otherwise the contents
  // move and only the uncovered strip is painted.
  if (std::abs(dx) > viewport()->width() || std::abs(dy) > viewport()->height())
    viewport()->update();
  else
    viewport()->scroll(dx, dy);
}

void TViewer::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  RecomputeRanges();
}

bool TViewer::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() & Qt::ControlModifier) {
      // Ctrl + wheel belongs to whoever holds the viewer (zooming).
      event->ignore();
      return false;
    }
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void TViewer::keyPressEvent(QKeyEvent* event) {
  if (dragging_) return;
  controlKey_ = (event->modifiers() & Qt::ControlModifier) != 0;
  const int jumpX = 10 * horizStep_, jumpY = 10 * vertStep_;
  switch (event->key()) {
    case Qt::Key_PageUp:
      if (controlKey_) VerticalHome(); else PrevPage();
      return;
    case Qt::Key_PageDown:
      if (controlKey_) VerticalEnd(); else NextPage();
      return;
    case Qt::Key_End:
      // Without Ctrl the right edge; a page that fits across the window has no edge to
      // go to, so End then turns to the last page.
      if (controlKey_ || horizMax_ == 0) LastPage(); else HorizontalEnd();
      return;
    case Qt::Key_Home:
      if (controlKey_ || horizMax_ == 0) FirstPage(); else HorizontalHome();
      return;
    case Qt::Key_Up: ScrollBy(0, controlKey_ ? -jumpY : -vertStep_); return;
    case Qt::Key_Down: ScrollBy(0, controlKey_ ? jumpY : vertStep_); return;
    case Qt::Key_Left: ScrollBy(controlKey_ ? -jumpX : -horizStep_, 0); return;
    case Qt::Key_Right: ScrollBy(controlKey_ ? jumpX : horizStep_, 0); return;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

void TViewer::keyReleaseEvent(QKeyEvent* event) {
  controlKey_ = (event->modifiers() & Qt::ControlModifier) != 0;
  QAbstractScrollArea::keyReleaseEvent(event);
}

QPoint TViewer::PagePoint(QPoint client) const {
  return QPoint(client.x() + HorizontalPosition(), client.y() + VerticalPosition());
}

void TViewer::ClearMark() {
  if (marked_) viewport()->update();
  marked_ = false;
  mark_ = TViewRect{};
}

int TViewer::Select(const TViewRect& rect) {
  TViewRect r{std::clamp(std::min(rect.Left, rect.Right), 0, pageWidth_ - 1),
              std::clamp(std::min(rect.Top, rect.Bottom), 0, pageHeight_ - 1),
              std::clamp(std::max(rect.Left, rect.Right), 0, pageWidth_ - 1),
              std::clamp(std::max(rect.Top, rect.Bottom), 0, pageHeight_ - 1)};
  mark_ = r;
  marked_ = true;
  viewport()->update();
  return 0;
}

void TViewer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CurrentBitmap()) return;
  setFocus();
  ClearMark();
  const QPoint p = PagePoint(event->position().toPoint());
  markAnchor_ = QPoint(std::clamp(p.x(), 0, pageWidth_ - 1), std::clamp(p.y(), 0, pageHeight_ - 1));
  dragging_ = true;
  lastMouse_ = event->position().toPoint();
  Select(TViewRect{markAnchor_.x(), markAnchor_.y(), markAnchor_.x(), markAnchor_.y()});
}

void TViewer::DragMarkTo(QPoint client) {
  const QPoint p = PagePoint(client);
  Select(TViewRect{markAnchor_.x(), markAnchor_.y(), p.x(), p.y()});
}

void TViewer::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  lastMouse_ = event->position().toPoint();
  const bool outside = !viewport()->rect().contains(lastMouse_);
  if (outside) {
    if (!autoScroll_.isActive()) {
      AutoScroll();  // at once, then every 50 ms
      autoScroll_.start();
    }
  } else {
    autoScroll_.stop();
  }
  DragMarkTo(lastMouse_);
}

void TViewer::AutoScroll() {
  if (!dragging_) {
    autoScroll_.stop();
    return;
  }
  const QRect client = viewport()->rect();
  const auto stepFor = [](int distance, int step) { return distance > kFarOutside ? 2 * step : step; };
  int dx = 0, dy = 0;
  if (lastMouse_.x() < 0) dx = -stepFor(-lastMouse_.x(), horizStep_);
  if (lastMouse_.x() > client.right()) dx = stepFor(lastMouse_.x() - client.right(), horizStep_);
  if (lastMouse_.y() < 0) dy = -stepFor(-lastMouse_.y(), vertStep_);
  if (lastMouse_.y() > client.bottom()) dy = stepFor(lastMouse_.y() - client.bottom(), vertStep_);
  ScrollBy(dx, dy);
  DragMarkTo(lastMouse_);
}

void TViewer::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  autoScroll_.stop();
  if (marked_ && mark_.Left == mark_.Right && mark_.Top == mark_.Bottom) ClearMark();
}

void TViewer::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TViewer::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TViewer::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  const std::string file = urls.first().toLocalFile().toStdString();
  const int rc = OpenFile(file);
  if (rc < 0) ReportError(rc);
  Perform(wmViewDroppedFile, 0, reinterpret_cast<intptr_t>(file.c_str()));
}

QRect TViewer::SourceRect(const QRect& scaled) const {
  const auto down = [](int v, int div, int mult) { return static_cast<int>(static_cast<int64_t>(v) * div / mult); };
  const auto up = [](int v, int div, int mult) {
    return static_cast<int>((static_cast<int64_t>(v) * div + mult - 1) / mult);
  };
  return QRect(down(scaled.x(), horizDiv_, horizMult_), down(scaled.y(), vertDiv_, vertMult_),
               std::max(1, up(scaled.width(), horizDiv_, horizMult_)), std::max(1, up(scaled.height(), vertDiv_, vertMult_)));
}

int TViewer::Copy() {
  const auto bitmap = CurrentBitmap();
  if (!bitmap) return ecNoImageLoaded;
  if (!marked_) return ecNoImageBlockMarked;
  const QRect scaled(QPoint(mark_.Left, mark_.Top), QPoint(mark_.Right, mark_.Bottom));
  const QRect source = OneToOne() ? scaled : SourceRect(scaled);
  TMonoBitmap block(source.width(), source.height(), bitmap->WhiteIsOne());
  for (int y = 0; y < source.height() && source.y() + y < bitmap->Height(); ++y)
    for (int x = 0; x < source.width() && source.x() + x < bitmap->Width(); ++x)
      if (bitmap->IsBlack(source.x() + x, source.y() + y)) block.SetBlack(x, y);
  if (!OneToOne()) block = block.Stretched(scaled.width(), scaled.height());
  QApplication::clipboard()->setImage(BlackAndWhiteImage(block));
  return 0;
}

const QImage& TViewer::ScaledImage() {
  const auto bitmap = CurrentBitmap();
  const QSize size(pageWidth_, pageHeight_);
  if (bitmap && (scaledFrom_ != bitmap.get() || scaledSize_ != size)) {
    scaled_ = DisplayImage(*bitmap, pageWidth_, pageHeight_, foreground_, background_);
    scaledFrom_ = bitmap.get();
    scaledSize_ = size;
  }
  return scaled_;
}

void TViewer::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect area = event->rect();
  painter.fillRect(area, background_);
  if (designMode_) {
    painter.setPen(foreground_);
    painter.drawText(QPoint(3, 3 + painter.fontMetrics().ascent()), QString::fromStdString(designText_));
    return;
  }
  const auto bitmap = CurrentBitmap();
  if (!bitmap || bitmap->Empty()) return;
  const QPoint origin(-HorizontalPosition(), -VerticalPosition());
  if (OneToOne()) {
    const QImage image = MonoImageView(*bitmap, foreground_, background_);
    const QRect source = area.translated(-origin).intersected(image.rect());
    painter.drawImage(source.topLeft() + origin, image, source);
  } else {
    const QImage& image = ScaledImage();
    const QRect source = area.translated(-origin).intersected(image.rect());
    painter.drawImage(source.topLeft() + origin, image, source);
  }
  if (marked_) {
    const QRect mark = QRect(QPoint(mark_.Left, mark_.Top), QPoint(mark_.Right, mark_.Bottom)).translated(origin);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(mark.intersected(area), Qt::white);
  }
}

}  // namespace ql
