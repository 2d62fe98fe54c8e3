#include "app/view/view_command.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>

#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "app/view/view_files.h"
#include "fax_document/ui/fax_view_window.h"
#include "platform/message_windows/message_window.h"

namespace ql {
namespace {

constexpr const char* kViewerClass = "TFaxViewer";

// The hourglass while the files are prepared, cleared on every way out.
class Hourglass {
 public:
  Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~Hourglass() { Clear(); }
  void Clear() {
    if (active_) QApplication::restoreOverrideCursor();
    active_ = false;
  }
  Hourglass(const Hourglass&) = delete;
  Hourglass& operator=(const Hourglass&) = delete;

 private:
  bool active_ = true;
};

}  // namespace

void ViewFax(QMainWindow& desk, const TViewSubject& subject, void (*shown)(TFaxViewer&)) {
  QStatusBar* status = desk.statusBar();
  const bool statusWasVisible = status->isVisible();
  QWidget* buttons = desk.centralWidget();
  const auto restoreDesk = [&] {
    if (buttons != nullptr) buttons->setEnabled(true);
    status->clearMessage();
    status->setVisible(statusWasVisible);
  };
  status->show();
  status->showMessage(QStringLiteral("Preparing files for viewing..."));
  if (buttons != nullptr) buttons->setEnabled(false);
  Hourglass hourglass;
  QApplication::processEvents();

  TViewFiles files;
  const TViewPrepared prepared =
      subject.received ? files.PrepareReceived(subject.receivedRow) : files.PrepareOutgoing(subject.outgoingRow);
  if (prepared != TViewPrepared::vpReady) {
    hourglass.Clear();
    restoreDesk();
    ShowInfo(prepared == TViewPrepared::vpOpenError ? QStringLiteral("Error opening fax file")
                                                    : QStringLiteral("Error - nothing to view"));
    return;
  }
  status->showMessage(QStringLiteral("Loading viewer..."));
  TViewWindowHooks hooks;
  hooks.LoadPlacement = [](QWidget* w) { LoadPlacement(w, kViewerClass); };
  hooks.SavePlacement = [](QWidget* w) { SavePlacement(w, kViewerClass); };
  hooks.Beep = [] { Beep(); };
  {
    TFaxViewer window(&desk, hooks);
    window.SetFileToShow(files.Shown().string());
    // A long fax shows its first page at once; the window finishes the rest.
    if (files.Pending())
      window.SetPreparation(TFilePreparation{files.FinalPages(), [&files] { return files.Step(); },
                                             [&files] { return files.Result(); }});
    const std::string title =
        subject.received ? ReceivedViewTitle(subject.receivedRow) : OutgoingViewTitle(subject.outgoingRow);
    window.FaxPrinter()->FaxHeader().Caption = title;
    window.SetCaptionPrefix(title);
    hourglass.Clear();
    restoreDesk();
    if (shown != nullptr) shown(window);
    window.exec();
  }
  files.Remove();
}

}  // namespace ql
