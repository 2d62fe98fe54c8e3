#pragma once
// TFaxPrinter: prints the pages of an APF fax. Each page is unpacked to a bitmap, framed
// by an optional header and footer line made from a caption with macros, fitted to the
// paper (or at its own size) and drawn on the printer. One page per sheet, or with
// MultiPage four small pages (two in landscape) on each sheet. A status window with an
// Abort button shows the progress; every job is logged (TFaxPrinterLog).
//
// Any QPrinter counts as a printer, a PDF file among them: the print dialog offers one.

#include <QFont>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "fax_document/components/fax_unpacker.h"
#include "fax_document/ui/fax_printer_log.h"
#include "fax_document/ui/fax_printer_status.h"
#include "serial/errors/exceptions.h"

class QPainter;
class QPrinter;
class QRect;

namespace ql {

enum TFaxPrintScale { psNone, psFitToPage };

struct TFaxPrinterMargin {
  std::string Caption;
  bool Enabled = true;
  QFont Font;
  int Height = 0;  // height of the text last drawn, in device pixels
};

class TFaxPrinter : public QObject, public TComponentBase {
  Q_OBJECT

 public:
  // Links the first status display and print log found among the owner's children (and
  // theirs, depth first).
  explicit TFaxPrinter(QObject* owner = nullptr);
  ~TFaxPrinter() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TFaxPrinterMargin& FaxHeader() { return header_; }
  TFaxPrinterMargin& FaxFooter() { return footer_; }
  TFaxPrinterLog* FaxPrinterLog() const { return log_; }
  void SetFaxPrinterLog(TFaxPrinterLog* log);
  const std::string& FileName() const { return fileName_; }
  // A different name reads the page total and page 1's resolution and width, and sets
  // the range to every page.
  void SetFileName(const std::string& file);
  bool MultiPage() const { return multiPage_; }
  void SetMultiPage(bool on) { multiPage_ = on; }
  TFaxPrintScale PrintScale() const { return printScale_; }
  void SetPrintScale(TFaxPrintScale scale) { printScale_ = scale; }
  TAbstractFaxPrinterStatus* StatusDisplay() const { return status_; }
  void SetStatusDisplay(TAbstractFaxPrinterStatus* status);

  std::function<void(TFaxPrinter& sender, unsigned currentPage, unsigned totalPages)> OnNextPage;
  std::function<void(TFaxPrinter& sender, TFaxPLCode code)> OnFaxPrintLog;
  std::function<void(TFaxPrinter& sender, int statusCode)> OnFaxPrintStatus;

  unsigned PageTotal() const { return pageTotal_; }
  unsigned CurrentPage() const { return currentPage_; }
  unsigned FirstPage() const { return firstPage_; }
  unsigned LastPage() const { return lastPage_; }
  void SetFirstPage(unsigned page) { firstPage_ = page; }
  void SetLastPage(unsigned page) { lastPage_ = page; }
  bool FirstPageHighRes() const { return highRes_; }
  bool FirstPageWide() const { return wide_; }
  int Progress() const { return progress_; }
  bool Printing() const { return printing_; }

  // The printer the pages go to (the default printer until the dialog chose another).
  QPrinter& Printer() { return *printer_; }
  // Shows the print dialog; when confirmed, the chosen pages become the range. False
  // when the dialog was cancelled.
  bool ChoosePages(QWidget* parent = nullptr);
  // Prints pages FirstPage to LastPage. Errors are raised (a page that cannot be
  // unpacked, a printer that will not start, a log that cannot be written).
  void PrintPages();
  // Stops a job under way: the unpacker and the job are aborted and "aborted" logged.
  void AbortPrint();

 private:
  void SetProgress(int progress);
  void Log(TFaxPLCode code);
  void LetMessagesThrough();
  bool StartSheet(QPainter& painter, unsigned page);
  // The caption of a margin for a page, drawn at the top or bottom of the rectangle,
  // which loses the strip.
  void DrawMargin(QPainter& painter, TFaxPrinterMargin& margin, unsigned page, QRect& rect, bool top);
  void EndJob(QPainter& painter, bool aborted);
  void LinkFrom(QObject* owner);

  std::string caption_ = "Fax Printer";
  TFaxPrinterMargin header_;
  TFaxPrinterMargin footer_;
  QPointer<TFaxPrinterLog> log_;
  QPointer<TAbstractFaxPrinterStatus> status_;
  std::string fileName_;
  bool multiPage_ = false;
  TFaxPrintScale printScale_ = psFitToPage;
  unsigned pageTotal_ = 0;
  unsigned currentPage_ = 0;
  unsigned firstPage_ = 0;
  unsigned lastPage_ = 0;
  bool highRes_ = false;
  bool wide_ = false;
  int progress_ = ppIdle;
  bool printing_ = false;
  std::unique_ptr<QPrinter> printer_;
  TFaxUnpacker unpacker_;
};

// Whether there is a printer to print on: a printer of the system, or PDF files, which
// are offered unless turned off (tests turn them off to see the program without one).
bool PrinterInstalled();
void SetPdfPrinterOffered(bool offered);

}  // namespace ql
