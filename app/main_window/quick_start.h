#pragma once
// The Quick-Start window: how to fax a document from any program, with Print (one
// page of plain Courier text) and Copy to Clipboard.

#include <QDialog>

class QPagedPaintDevice;
class QPlainTextEdit;

namespace ql {

class TQuickStart : public QDialog {
  Q_OBJECT

 public:
  explicit TQuickStart(QWidget* parent = nullptr);

  static QString Instructions();

  // Draws the text on one page of the device: Courier 10 point, one line per height of
  // "W", from half an inch off the left and top edges, without page breaks.
  static void PrintText(const QString& text, QPagedPaintDevice& device);

  void CopyToClipboard();

 private:
  void OnPrint();

  QPlainTextEdit* text_;
};

}  // namespace ql
