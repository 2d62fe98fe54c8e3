#include "fax_document/ui/fax_printer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <filesystem>

#include "fax_document/ui/caption_macros.h"
#include "fax_document/ui/mono_image.h"

namespace ql {
namespace {

bool pdfPrinterOffered = true;

template <typename T>
T* FindChild(QObject* owner) {
  for (QObject* child : owner->children()) {
    if (auto* found = qobject_cast<T*>(child)) return found;
    if (T* deeper = FindChild<T>(child)) return deeper;
  }
  return nullptr;
}

}  // namespace

bool PrinterInstalled() { return pdfPrinterOffered || !QPrinterInfo::availablePrinters().isEmpty(); }
void SetPdfPrinterOffered(bool offered) { pdfPrinterOffered = offered; }

TFaxPrinter::TFaxPrinter(QObject* owner) : QObject(owner), printer_(std::make_unique<QPrinter>()) {
  header_.Caption = "FILE: $F";
  footer_.Caption = "PAGE: $P of $N";
  header_.Font = footer_.Font = QFont(QFont().family(), 10);
  printer_->setDocName(QString::fromStdString(caption_));
  if (owner != nullptr) LinkFrom(owner);
}

TFaxPrinter::~TFaxPrinter() {
  if (status_ && status_->FaxPrinter() == this) status_->SetFaxPrinter(nullptr);
}

void TFaxPrinter::LinkFrom(QObject* owner) {
  if (auto* status = FindChild<TAbstractFaxPrinterStatus>(owner)) SetStatusDisplay(status);
  if (auto* log = FindChild<TFaxPrinterLog>(owner)) SetFaxPrinterLog(log);
}

void TFaxPrinter::SetCaption(const std::string& caption) {
  caption_ = caption;
  printer_->setDocName(QString::fromStdString(caption));
}

void TFaxPrinter::SetFaxPrinterLog(TFaxPrinterLog* log) { log_ = log; }

void TFaxPrinter::SetStatusDisplay(TAbstractFaxPrinterStatus* status) {
  if (status_ && status_->FaxPrinter() == this) status_->SetFaxPrinter(nullptr);
  status_ = status;
  if (status_) status_->SetFaxPrinter(this);
}

void TFaxPrinter::SetFileName(const std::string& file) {
  if (file == fileName_) return;
  fileName_ = file;
  pageTotal_ = 0;
  highRes_ = wide_ = false;
  unpacker_.SetInFileName(file);
  if (!file.empty()) {
    pageTotal_ = unpacker_.PageCountOf();
    if (pageTotal_ > 0) {
      highRes_ = unpacker_.PageIsHighRes(1);
      wide_ = unpacker_.PageIsWide(1);
    }
  }
  firstPage_ = pageTotal_ > 0 ? 1 : 0;
  lastPage_ = pageTotal_;
  printer_->setFromTo(0, 0);
}

bool TFaxPrinter::ChoosePages(QWidget* parent) {
  QPrintDialog dialog(printer_.get(), parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageTotal_ > 0);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  if (pageTotal_ > 0) {
    dialog.setMinMax(static_cast<int>(std::max(1u, firstPage_)), static_cast<int>(pageTotal_));
    printer_->setFromTo(static_cast<int>(std::max(1u, firstPage_)), static_cast<int>(pageTotal_));
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  if (printer_->printRange() == QPrinter::PageRange && printer_->fromPage() > 0) {
    firstPage_ = static_cast<unsigned>(printer_->fromPage());
    lastPage_ = std::min(pageTotal_, static_cast<unsigned>(printer_->toPage()));
  } else {
    firstPage_ = pageTotal_ > 0 ? 1 : 0;
    lastPage_ = pageTotal_;
  }
  return true;
}

void TFaxPrinter::LetMessagesThrough() { QCoreApplication::processEvents(); }

void TFaxPrinter::SetProgress(int progress) {
  progress_ = progress;
  if (status_ && status_->Display() != nullptr && status_->Display()->isVisible()) status_->UpdateDisplay(false, false);
  if (OnFaxPrintStatus) OnFaxPrintStatus(*this, progress);
  LetMessagesThrough();
}

void TFaxPrinter::Log(TFaxPLCode code) {
  if (log_) log_->UpdateLog(code, fileName_);
  if (OnFaxPrintLog) OnFaxPrintLog(*this, code);
}

void TFaxPrinter::AbortPrint() {
  if (!printing_) return;
  unpacker_.SetOptions(static_cast<uint16_t>(unpacker_.Options() | uoAbort));
  printing_ = false;
  printer_->abort();
  currentPage_ = 0;
  Log(lcAborted);
  if (status_) status_->UpdateDisplay(false, true);
  SetProgress(ppIdle);
}

bool TFaxPrinter::StartSheet(QPainter& painter, unsigned page) {
  if (page == firstPage_ || !printing_) return true;
  const unsigned perSheet = printer_->pageLayout().orientation() == QPageLayout::Landscape ? 2 : 4;
  if (!multiPage_ || (page - firstPage_) % perSheet == 0) return printer_->newPage();
  (void)painter;
  return true;
}

void TFaxPrinter::DrawMargin(QPainter& painter, TFaxPrinterMargin& margin, unsigned page, QRect& rect, bool top) {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  const TCaptionValues values{locale.toString(now.date(), QLocale::ShortFormat).toStdString(), fileName_, pageTotal_,
                              page, locale.toString(now.time(), QLocale::LongFormat).toStdString()};
  const QString text = QString::fromStdString(ExpandCaption(margin.Caption, values));
  QFont font = margin.Font;
  if (multiPage_) font.setPointSizeF(static_cast<int>(font.pointSizeF() / 2));
  painter.setFont(font);
  const QFontMetrics metrics(font, printer_.get());
  margin.Height = metrics.height();
  const QRect strip = top ? QRect(rect.left(), rect.top(), rect.width(), margin.Height)
                          : QRect(rect.left(), rect.bottom() - margin.Height + 1, rect.width(), margin.Height);
  painter.save();
  painter.setClipRect(strip);
  painter.setPen(Qt::black);
  painter.drawText(strip, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  painter.restore();
  painter.setPen(QPen(Qt::black, 0));
  if (top) {
    rect.setTop(rect.top() + margin.Height + 2);
    painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    rect.setTop(rect.top() + 1);
  } else {
    rect.setBottom(rect.bottom() - margin.Height - 2);
    painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    rect.setBottom(rect.bottom() - 1);
  }
}

void TFaxPrinter::EndJob(QPainter& painter, bool aborted) {
  if (painter.isActive()) painter.end();
  if (aborted && printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty()) {
    // An aborted job leaves no half-written file behind.
    std::error_code ec;
    std::filesystem::remove(printer_->outputFileName().toStdString(), ec);
  }
}

void TFaxPrinter::PrintPages() {
  if (pageTotal_ == 0 || printing_) return;
  const unsigned first = std::max(1u, firstPage_);
  const unsigned last = std::min(lastPage_, pageTotal_);
  SetProgress(ppIdle);
  if (status_) status_->UpdateDisplay(true, false);
  Log(lcStart);
  unpacker_.SetOptions(uoYield);
  QPainter painter;
  if (!painter.begin(printer_.get())) {
    Log(lcFailed);
    if (status_) status_->UpdateDisplay(false, true);
    throw EFaxCommException(std::string("The printer could not start the print job"));
  }
  printing_ = true;
  firstPage_ = first;
  for (unsigned page = first; page <= last; ++page) {
    currentPage_ = page;
    LetMessagesThrough();
    if (printing_ && !StartSheet(painter, page)) printing_ = false;
    LetMessagesThrough();
    if (!printing_) {
      EndJob(painter, true);
      return;
    }
    if (OnNextPage) OnNextPage(*this, page, pageTotal_);
    if (!printing_) {  // aborted from the event
      EndJob(painter, true);
      return;
    }
    SetProgress(ppConverting);
    std::unique_ptr<TMonoBitmap> bitmap;
    try {
      bitmap = unpacker_.PageToBitmap(page);
    } catch (...) {
      if (printing_) {
        Log(lcFailed);
        printing_ = false;
        EndJob(painter, true);
        currentPage_ = 0;
        if (status_) status_->UpdateDisplay(false, true);
        SetProgress(ppIdle);
        throw;
      }
    }
    LetMessagesThrough();
    if (!printing_) {
      EndJob(painter, true);
      return;
    }
    SetProgress(ppComposing);
    const QRect paper(QPoint(0, 0), printer_->pageLayout().paintRectPixels(printer_->resolution()).size());
    QRect rect = paper;
    if (multiPage_) {
      const bool portrait = printer_->pageLayout().orientation() != QPageLayout::Landscape;
      const int w = paper.width() / 2, h = portrait ? paper.height() / 2 : paper.height();
      const unsigned cell = (page - first) % 4;
      const int x = (portrait ? cell % 2 : cell % 2) * w;
      const int y = portrait && cell >= 2 ? h : 0;
      rect = QRect(x, y, w, h).adjusted(2, 2, -2, -2);
    }
    if (header_.Enabled) DrawMargin(painter, header_, page, rect, true);
    if (footer_.Enabled) DrawMargin(painter, footer_, page, rect, false);
    if (bitmap && !bitmap->Empty()) {
      QSize size(bitmap->Width(), bitmap->Height());
      if (printScale_ == psFitToPage) {
        size = QSize(static_cast<int>(static_cast<int64_t>(bitmap->Width()) * rect.height() / bitmap->Height()),
                     rect.height());
        if (size.width() > rect.width())
          size = QSize(rect.width(),
                       static_cast<int>(static_cast<int64_t>(bitmap->Height()) * rect.width() / bitmap->Width()));
      } else if (size.height() > rect.height()) {
        size.setHeight(rect.height());
      }
      SetProgress(ppRendering);
      painter.drawImage(QRect(rect.topLeft(), size), MonoImageView(*bitmap, Qt::black, Qt::white));
      SetProgress(ppSubmitting);
    }
  }
  LetMessagesThrough();
  if (printing_) EndJob(painter, false);
  printing_ = false;
  Log(lcFinish);
  SetProgress(ppIdle);
  if (status_) status_->UpdateDisplay(false, true);
  if (OnFaxPrintStatus) OnFaxPrintStatus(*this, progress_);
  currentPage_ = 0;
}

}  // namespace ql
