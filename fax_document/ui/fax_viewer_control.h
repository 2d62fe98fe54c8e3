#pragma once
// TFaxViewerControl: the fax viewer as a component for forms. It holds a viewer window,
// sends it a message whenever one of its properties changes, raises the errors the
// viewer returns as exceptions, and turns the viewer's notifications into events.

#include <QFrame>
#include <functional>
#include <string>

#include "fax_document/components/fax_unpacker.h"
#include "fax_document/ui/fax_viewer.h"
#include "serial/errors/exceptions.h"

namespace ql {

enum TBorderStyle { bsNone, bsSingle };

class TFaxViewerControl : public QFrame, public TComponentBase {
  Q_OBJECT

 public:
  explicit TFaxViewerControl(QWidget* parent = nullptr);

  TViewer* Viewer() const { return viewer_; }

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  QColor FGColor() const { return fgColor_; }
  void SetFGColor(QColor colour);
  QColor BGColor() const { return bgColor_; }
  void SetBGColor(QColor colour);
  bool Scaling() const { return scaling_; }
  void SetScaling(bool on);
  unsigned HorizMult() const { return horizMult_; }
  unsigned HorizDiv() const { return horizDiv_; }
  unsigned VertMult() const { return vertMult_; }
  unsigned VertDiv() const { return vertDiv_; }
  // A factor of 0 is ignored.
  void SetHorizMult(unsigned v);
  void SetHorizDiv(unsigned v);
  void SetVertMult(unsigned v);
  void SetVertDiv(unsigned v);
  TAutoScaleMode AutoScaleMode() const { return autoScaleMode_; }
  void SetAutoScaleMode(TAutoScaleMode mode);
  bool WhitespaceCompression() const { return whitespaceCompression_; }
  void SetWhitespaceCompression(bool on);
  unsigned WhitespaceFrom() const { return whitespaceFrom_; }
  void SetWhitespaceFrom(unsigned lines);
  unsigned WhitespaceTo() const { return whitespaceTo_; }
  void SetWhitespaceTo(unsigned lines);
  unsigned HorizScroll() const { return horizScroll_; }
  void SetHorizScroll(unsigned step);
  unsigned VertScroll() const { return vertScroll_; }
  void SetVertScroll(unsigned step);
  bool AcceptDragged() const { return acceptDragged_; }
  void SetAcceptDragged(bool on) { acceptDragged_ = on; }  // stored only: the window always accepts drops
  bool LoadWholeFax() const { return loadWholeFax_; }
  void SetLoadWholeFax(bool on);
  Qt::CursorShape BusyCursor() const { return busyCursor_; }
  void SetBusyCursor(Qt::CursorShape cursor);
  const std::string& FileName() const { return fileName_; }
  // A different name opens the file (rotation back to 0, factors back to 1).
  void SetFileName(const std::string& file);

  std::function<void(TFaxViewerControl& sender, const std::string& fileName)> OnDropFile;
  std::function<void(TFaxViewerControl& sender)> OnPageChange;
  std::function<void(TFaxViewerControl& sender, int errorCode)> OnViewerError;

  int Rotation() const { return rotation_; }
  void SetRotation(int rotation);
  unsigned CurrentPage() const;
  // Ignored when equal or without a file; 0 or beyond the total raises -1002.
  void SetCurrentPage(unsigned page);
  unsigned PageTotal() const;
  int PageWidthPixels() const;
  void ShowFirstPage();
  void ShowLastPage();
  void ShowNextPage();
  void ShowPrevPage();
  void BeginUpdate();
  void EndUpdate();
  // Copies the marked block to the clipboard (-8050, -8051 raised).
  void CopyToClipboard();
  void SelectAll();

  QSize sizeHint() const override { return QSize(100, 50); }

 private:
  intptr_t Send(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  void SendScale();
  void SendWhitespace();
  intptr_t Notified(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  TViewer* viewer_;
  TBorderStyle borderStyle_ = bsSingle;
  QColor fgColor_ = Qt::black;
  QColor bgColor_ = Qt::white;
  bool scaling_ = false;
  unsigned horizMult_ = 1, horizDiv_ = 1, vertMult_ = 1, vertDiv_ = 1;
  TAutoScaleMode autoScaleMode_ = asDoubleHeight;
  bool whitespaceCompression_ = false;
  unsigned whitespaceFrom_ = 0, whitespaceTo_ = 0;
  unsigned horizScroll_ = 8, vertScroll_ = 8;
  bool acceptDragged_ = true;
  bool loadWholeFax_ = false;
  Qt::CursorShape busyCursor_ = Qt::ArrowCursor;
  std::string fileName_;
  int rotation_ = 0;
};

}  // namespace ql
