#pragma once
// TViewer: the fax viewer window. A self-contained child window that unpacks the pages
// of an APF fax into bitmaps and paints, scrolls, zooms, rotates and marks them. It is
// driven entirely by the messages of viewer_messages.h, through Perform() or through its
// message window (class "qlViewer"); what it does not handle itself, and the
// notifications it sends itself (page changed, viewer error, dropped file), go to the
// procedure set with wmViewSetWndProc.

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QTimer>
#include <string>

#include "fax_document/ui/viewer_messages.h"
#include "fax_document/ui/viewer_pages.h"
#include "platform/message_windows/message_window.h"

namespace ql {

class TViewer : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TViewer(QWidget* parent = nullptr);
  ~TViewer() override;

  // The window procedure.
  intptr_t Perform(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  MessageWindow Handle() const { return handle_; }

  // State, for the component and for tests.
  unsigned PageCount() const { return pages_.Count(); }
  unsigned CurrentPage() const { return currentPage_; }
  int Rotation() const { return rotation_; }
  int PageWidth() const { return pageWidth_; }
  int PageHeight() const { return pageHeight_; }
  int HorizontalPosition() const;
  int VerticalPosition() const;
  int HorizontalMaximum() const { return horizMax_; }
  int VerticalMaximum() const { return vertMax_; }
  bool Marked() const { return marked_; }
  const TViewRect& Mark() const { return mark_; }
  const std::filesystem::path& FileName() const { return pages_.File(); }
  bool LoadWholeFax() const { return loadWholeFax_; }
  // Bytes held by unpacked pages.
  size_t BytesHeld() const { return pages_.BytesHeld(); }
  // Asked before any page of the file is read (see TViewerPages::SetGate).
  void SetPageGate(std::function<int(unsigned page)> gate) { pages_.SetGate(std::move(gate)); }
  // The current page's bitmap (null without a page).
  std::shared_ptr<const TMonoBitmap> CurrentBitmap() const;

  // Page moves and scrolling, as the keys and scroll bars do them.
  void NextPage();
  void PrevPage();
  void FirstPage();
  void LastPage();
  void ScrollBy(int dx, int dy);
  void VerticalHome();
  void VerticalEnd();
  void HorizontalHome();
  void HorizontalEnd();
  int HorizontalStep() const { return horizStep_; }
  int VerticalStep() const { return vertStep_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  intptr_t Default(uint32_t msg, uintptr_t wParam, intptr_t lParam);
  int OpenFile(const std::string& name);
  void ReleaseFile();
  // Sets up the current page: unpacks it when needed, resets the scroll positions and
  // the mark, recomputes the ranges, repaints and tells that the page changed.
  void SetUpPage();
  void RecomputeRanges();
  int GotoPage(unsigned page);
  int SetScale(const int factors[4]);
  int SetRotation(int rotation);
  int SetLoadWholeFax(bool on);
  int Select(const TViewRect& rect);
  int Copy();
  int UnpackUnderBusyCursor(unsigned page);
  void ReportError(int code);
  // Page coordinates of a point of the window, and the mark that follows it.
  QPoint PagePoint(QPoint client) const;
  void DragMarkTo(QPoint client);
  void AutoScroll();
  void ClearMark();
  // The source rectangle (bitmap pixels) of a rectangle of scaled page pixels.
  QRect SourceRect(const QRect& scaled) const;
  bool OneToOne() const { return horizMult_ == horizDiv_ && vertMult_ == vertDiv_; }
  const QImage& ScaledImage();

  MessageWindow handle_ = 0;
  TViewProc defaultProc_;
  TViewerPages pages_;
  bool loadWholeFax_ = false;
  Qt::CursorShape busyCursor_ = Qt::ArrowCursor;
  QColor foreground_ = Qt::black;
  QColor background_ = Qt::white;
  int pageWidth_ = 0, pageHeight_ = 0;
  int vertStep_ = 8, horizStep_ = 8;
  unsigned currentPage_ = 0;
  int vertMax_ = 0, horizMax_ = 0;
  int horizMult_ = 1, horizDiv_ = 1, vertMult_ = 1, vertDiv_ = 1;
  int rotation_ = 0;
  bool marked_ = false;
  TViewRect mark_;
  QPoint markAnchor_;  // the corner that stays while the other follows the mouse
  bool dragging_ = false;
  QPoint lastMouse_;
  QTimer autoScroll_;
  bool controlKey_ = false;
  bool updateLock_ = false;
  bool designMode_ = false;
  std::string designText_;
  // The current page scaled for the screen, made once per page, scale and colours.
  QImage scaled_;
  const TMonoBitmap* scaledFrom_ = nullptr;
  QSize scaledSize_;
};

}  // namespace ql
