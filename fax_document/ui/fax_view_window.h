#pragma once
// TFaxViewer: the window for looking at one fax. The fax viewer component with page
// buttons, zoom and rotation menus, a status line, a strip of page thumbnails, printing
// through the fax printer, and saving the fax as PDF or a page as PNG. The caller sets
// the file to show and an optional caption prefix (the sender, or recipient and subject)
// and shows it; the window opens the file at its first activation.

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "fax_document/ui/fax_printer.h"
#include "fax_document/ui/fax_viewer_control.h"
#include "platform/help/help.h"

class QAction;
class QTimer;
class QLabel;
class QMenu;
class QToolButton;
class QPushButton;

namespace ql {

class TPageStrip;

// What the window takes from the program around it: keeping its place between runs and
// the beep of a command that does not apply.
struct TViewWindowHooks {
  std::function<void(QWidget* window)> LoadPlacement;
  std::function<void(QWidget* window)> SavePlacement;
  std::function<void()> Beep;
};

// A file the window shows before it is complete: its first FinalPages pages are final,
// the others stand in until the preparation is done. The window runs Step while it is
// idle and runs every step left at once when a page beyond the final ones, or the whole
// file (print, export), is wanted; when the preparation fails it tells the user and
// closes.
struct TFilePreparation {
  unsigned FinalPages = 0;
  std::function<bool()> Step;    // does one more piece; false when nothing is left
  std::function<int()> Result;   // 0, or the error that stopped the preparation
};

// The zoom levels and the menu items that show them.
inline constexpr int kZoomLevels[] = {25, 50, 75, 100};

class TFaxViewer : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = kHelpFaxViewer;

  explicit TFaxViewer(QWidget* parent = nullptr, TViewWindowHooks hooks = {});
  ~TFaxViewer() override;

  // Set before the window is shown.
  void SetFileToShow(const std::string& file) { fileToShow_ = file; }
  const std::string& FileToShow() const { return fileToShow_; }
  const std::string& FileShown() const { return fileShown_; }
  void SetCaptionPrefix(const std::string& prefix) { captionPrefix_ = prefix; }
  // Set before the window is shown, for the file to show.
  void SetPreparation(TFilePreparation preparation);
  bool Preparing() const { return preparing_; }
  // Runs every step left; false when the preparation failed (the window then closes).
  bool FinishPreparation();

  TFaxViewerControl* ViewerControl() const { return viewer_; }
  TFaxPrinter* FaxPrinter() const { return printer_; }
  TFaxPrinterStatus* PrinterStatus() const { return status_; }
  TPageStrip* PageStrip() const { return strip_; }
  QLabel* StatusLabel() const { return status_line_; }
  int ZoomLevel() const { return zoom_; }
  QAction* ZoomItem(int level) const;
  QAction* RotationItem(int rotation) const;
  QAction* ThumbnailsItem() const { return thumbnails_; }
  // The controls by their hints ("First page", "Print", ...).
  QWidget* Control(const QString& hint) const;

  void ShowFile();
  void SetZoom(int level);
  void ZoomIn();
  void ZoomOut();
  void SetRotation(int rotation);
  void Print();
  void PrintCurrentPage();
  void PrinterSetup();
  // Save as PDF and Save page as PNG; an empty path asks for one.
  bool SaveAsPdf(const QString& path = {});
  bool SavePageAsPng(const QString& path = {});
  void ShowThumbnails(bool on);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void UpdateStatus();
  void CheckZoom(int level);
  void CheckRotation(int rotation);
  void Beep();
  void PrintRange(unsigned first, unsigned last);
  // Asks for a printer when there is none to print on without asking (PDF files only).
  bool PrinterReady();
  void PreparationStep();
  void PreparationEnded();
  QToolButton* AddButton(const QString& hint, const QIcon& icon, const QString& text, std::function<void()> run);

  TViewWindowHooks hooks_;
  std::string fileToShow_;
  std::string fileShown_;
  std::string captionPrefix_;
  int zoom_ = 100;
  bool firstActivation_ = true;
  bool placementSaved_ = false;
  TFilePreparation preparation_;
  bool preparing_ = false;
  QTimer* preparationSteps_ = nullptr;

  TFaxViewerControl* viewer_ = nullptr;
  TPageStrip* strip_ = nullptr;
  QLabel* status_line_ = nullptr;
  TFaxPrinter* printer_ = nullptr;
  TFaxPrinterStatus* status_ = nullptr;
  std::map<QString, QWidget*> controls_;
  std::map<int, QAction*> zoomItems_;
  std::map<int, QAction*> rotationItems_;
  QAction* thumbnails_ = nullptr;
};

}  // namespace ql
