#include "fax_document/ui/fax_view_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <filesystem>

#include "fax_document/export/pdf_export.h"
#include "fax_document/export/png_export.h"
#include "fax_document/ui/page_strip.h"
#include "platform/help/help.h"
#include "serial/errors/error_text.h"

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The label of a zoom level in the menu: pages are shown at half width, so level 50
// is the page at its natural size on the screen.
QString ZoomLabel(int level) { return QStringLiteral("%1%").arg(level * 2); }

}  // namespace

TFaxViewer::TFaxViewer(QWidget* parent, TViewWindowHooks hooks) : QDialog(parent), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("TFaxViewer"));
  setWindowTitle(QStringLiteral("Fax Viewer "));
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  BuildControls();
  resize(780, 860);
  // Placement is restored on creation and saved on closing.
  if (hooks_.LoadPlacement) hooks_.LoadPlacement(this);
}

TFaxViewer::~TFaxViewer() = default;

QToolButton* TFaxViewer::AddButton(const QString& hint, const QIcon& icon, const QString& text,
                                   std::function<void()> run) {
  auto* button = new QToolButton(this);
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setIcon(icon);
  button->setText(text);
  button->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  connect(button, &QToolButton::clicked, this, [run = std::move(run)] { run(); });
  controls_[hint] = button;
  return button;
}

QWidget* TFaxViewer::Control(const QString& hint) const {
  const auto it = controls_.find(hint);
  return it == controls_.end() ? nullptr : it->second;
}

QAction* TFaxViewer::ZoomItem(int level) const {
  const auto it = zoomItems_.find(level);
  return it == zoomItems_.end() ? nullptr : it->second;
}

QAction* TFaxViewer::RotationItem(int rotation) const {
  const auto it = rotationItems_.find(rotation);
  return it == rotationItems_.end() ? nullptr : it->second;
}

void TFaxViewer::BuildControls() {
  QStyle* s = style();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  auto* menus = new QMenuBar(this);
  QMenu* view = menus->addMenu(QStringLiteral("&View"));
  for (int level : kZoomLevels) {
    QAction* item = view->addAction(ZoomLabel(level));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, level] { SetZoom(level); });
    zoomItems_[level] = item;
  }
  view->addSeparator();
  const char* rotations[] = {"No rotation", "Rotate 90 degrees", "Rotate 180 degrees", "Rotate 270 degrees"};
  for (int r = 0; r < 4; ++r) {
    QAction* item = view->addAction(QString::fromLatin1(rotations[r]));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, r] { SetRotation(r); });
    rotationItems_[r] = item;
  }
  view->addSeparator();
  thumbnails_ = view->addAction(QStringLiteral("Page &Thumbnails"));
  thumbnails_->setCheckable(true);
  thumbnails_->setChecked(true);
  connect(thumbnails_, &QAction::toggled, this, &TFaxViewer::ShowThumbnails);
  QMenu* fax = menus->addMenu(QStringLiteral("&Fax"));
  fax->addAction(QStringLiteral("Save as &PDF..."), this, [this] { SaveAsPdf(); });
  fax->addAction(QStringLiteral("Save Page as P&NG..."), this, [this] { SavePageAsPng(); });
  fax->addSeparator();
  const auto guarded = [this](void (TFaxViewerControl::*op)()) {
    return [this, op] {
      try {
        (viewer_->*op)();
      } catch (const std::exception&) {
        Beep();  // nothing shown, or nothing marked
      }
    };
  };
  QAction* copy = fax->addAction(QStringLiteral("&Copy Marked Block"), this, guarded(&TFaxViewerControl::CopyToClipboard));
  copy->setShortcut(QKeySequence::Copy);
  QAction* all = fax->addAction(QStringLiteral("&Mark Whole Page"), this, guarded(&TFaxViewerControl::SelectAll));
  all->setShortcut(QKeySequence::SelectAll);
  layout->setMenuBar(menus);

  auto* bar = new QHBoxLayout;
  bar->setSpacing(2);
  bar->addWidget(AddButton(QStringLiteral("First page"), s->standardIcon(QStyle::SP_MediaSkipBackward), {},
                           [this] { viewer_->ShowFirstPage(); }));
  bar->addWidget(AddButton(QStringLiteral("Previous page"), s->standardIcon(QStyle::SP_MediaSeekBackward), {},
                           [this] { viewer_->ShowPrevPage(); }));
  bar->addWidget(AddButton(QStringLiteral("Next page"), s->standardIcon(QStyle::SP_MediaSeekForward), {},
                           [this] { viewer_->ShowNextPage(); }));
  bar->addWidget(AddButton(QStringLiteral("Last page"), s->standardIcon(QStyle::SP_MediaSkipForward), {},
                           [this] { viewer_->ShowLastPage(); }));
  bar->addSpacing(8);
  bar->addWidget(AddButton(QStringLiteral("Zoom in"), {}, QStringLiteral("Zoom +"), [this] { ZoomIn(); }));
  bar->addWidget(AddButton(QStringLiteral("Zoom out"), {}, QStringLiteral("Zoom \u2212"), [this] { ZoomOut(); }));
  bar->addSpacing(8);
  bar->addWidget(AddButton(QStringLiteral("Printer setup"), {}, QStringLiteral("Setup..."), [this] { PrinterSetup(); }));
  bar->addWidget(AddButton(QStringLiteral("Print"), {}, QStringLiteral("Print"), [this] { Print(); }));
  bar->addWidget(AddButton(QStringLiteral("Print current page"), {}, QStringLiteral("Print Page"),
                           [this] { PrintCurrentPage(); }));
  bar->addSpacing(8);
  bar->addWidget(AddButton(QStringLiteral("Save as PDF"), {}, QStringLiteral("PDF..."), [this] { SaveAsPdf(); }));
  bar->addWidget(AddButton(QStringLiteral("Show or hide the page thumbnails"), {}, QStringLiteral("Pages"),
                           [this] { thumbnails_->toggle(); }));
  bar->addStretch(1);
  auto* close = new QPushButton(QStringLiteral("C&lose"), this);
  close->setToolTip(QStringLiteral("Close the Fax Viewer"));
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  controls_[QStringLiteral("Close the Fax Viewer")] = close;
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  help->setToolTip(QStringLiteral("Get Windows help for Fax Viewer"));
  help->setAutoDefault(false);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(kHelpTopic); });
  controls_[QStringLiteral("Get Windows help for Fax Viewer")] = help;
  bar->addWidget(close);
  bar->addWidget(help);
  layout->addLayout(bar);

  auto* middle = new QHBoxLayout;
  strip_ = new TPageStrip(this);
  strip_->OnPageChosen = [this](unsigned page) {
    try {
      viewer_->SetCurrentPage(page);
    } catch (const std::exception&) {
      Beep();
    }
  };
  viewer_ = new TFaxViewerControl(this);
  viewer_->SetAutoScaleMode(asHalfWidth);
  viewer_->SetBusyCursor(Qt::WaitCursor);
  viewer_->Viewer()->viewport()->installEventFilter(this);
  viewer_->OnPageChange = [this](TFaxViewerControl&) { UpdateStatus(); };
  viewer_->OnViewerError = [this](TFaxViewerControl&, int code) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QString::asprintf("Viewer error %d", code), QMessageBox::Ok,
                    this);
    box.exec();
  };
  middle->addWidget(strip_);
  middle->addWidget(viewer_, 1);
  layout->addLayout(middle, 1);

  status_line_ = new QLabel(QStringLiteral("Loading..."), this);
  status_line_->setObjectName(QStringLiteral("statusLine"));
  layout->addWidget(status_line_);

  status_ = new TFaxPrinterStatus(this);
  printer_ = new TFaxPrinter(this);  // links the status display above

  // Pages still to be prepared are made one at a time while the window is idle, once
  // the first page is on the screen.
  preparationSteps_ = new QTimer(this);
  preparationSteps_->setInterval(0);
  connect(preparationSteps_, &QTimer::timeout, this, &TFaxViewer::PreparationStep);
  viewer_->Viewer()->SetPageGate([this](unsigned page) {
    if (preparing_ && page > preparation_.FinalPages && viewer_->Viewer()->FileName() == fileShown_)
      FinishPreparation();  // a failure closes the window; the page read meanwhile stands in
    return 0;
  });
}

void TFaxViewer::SetPreparation(TFilePreparation preparation) {
  preparation_ = std::move(preparation);
  preparing_ = static_cast<bool>(preparation_.Step);
}

void TFaxViewer::PreparationStep() {
  if (!preparing_ || !preparation_.Step()) PreparationEnded();
}

bool TFaxViewer::FinishPreparation() {
  if (!preparing_) return preparation_.Result == nullptr || preparation_.Result() >= 0;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  while (preparation_.Step()) {
  }
  QApplication::restoreOverrideCursor();
  PreparationEnded();
  return preparation_.Result() >= 0;
}

void TFaxViewer::PreparationEnded() {
  preparationSteps_->stop();
  if (!preparing_) return;
  preparing_ = false;
  if (preparation_.Result() < 0) {
    // As when the fax cannot be prepared at all: the user is told and nothing stays shown.
    QMetaObject::invokeMethod(
        this,
        [this] {
          QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                          QStringLiteral("Error opening fax file"), QMessageBox::Ok, this);
          box.exec();
          reject();
        },
        Qt::QueuedConnection);
    return;
  }
  // The finished file holds the pages the thumbnails show.
  if (!fileShown_.empty()) strip_->SetFile(fileShown_, viewer_->PageTotal());
}

void TFaxViewer::Beep() {
  if (hooks_.Beep)
    hooks_.Beep();
  else
    QApplication::beep();
}

void TFaxViewer::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!firstActivation_) return;
  firstActivation_ = false;
  if (layout() != nullptr) layout()->activate();
  ShowFile();
  for (auto& [level, item] : zoomItems_) item->setChecked(level == zoom_ && !fileShown_.empty());
  CheckRotation(-1);
  if (!PrinterInstalled()) {
    Control(QStringLiteral("Print"))->setEnabled(false);
    Control(QStringLiteral("Printer setup"))->setEnabled(false);
  }
  viewer_->Viewer()->setFocus();
}

void TFaxViewer::ShowFile() {
  const unsigned pagesBefore = viewer_->PageTotal();
  (void)pagesBefore;
  try {
    viewer_->BeginUpdate();
    viewer_->SetScaling(false);
    viewer_->SetHorizMult(1);
    viewer_->SetHorizDiv(1);
    viewer_->SetVertMult(1);
    viewer_->SetVertDiv(1);
    viewer_->EndUpdate();
    viewer_->SetFileName(fileToShow_);
    if (fileToShow_.empty() || viewer_->PageTotal() == 0) throw Exception("nothing to show");
    fileShown_ = fileToShow_;
    const int viewerWidth = viewer_->Viewer()->viewport()->width();
    const int pageWidth = viewer_->PageWidthPixels();
    int level = 50;
    if (pageWidth > 0 && viewerWidth < pageWidth && viewerWidth * 150 / pageWidth <= 36) level = 25;
    SetZoom(level);
    printer_->SetFileName(fileShown_);
  } catch (const std::exception&) {
    fileShown_.clear();
    try {
      viewer_->SetFileName("");
    } catch (const std::exception&) {
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), QStringLiteral("Error opening fax file"),
                    QMessageBox::Ok, this);
    box.exec();
    status_line_->setText(QStringLiteral("No file loaded"));
  }
  const bool several = viewer_->PageTotal() > 1;
  for (const char* hint : {"First page", "Previous page", "Next page", "Last page"})
    Control(QString::fromLatin1(hint))->setVisible(several);
  strip_->SetFile(fileShown_, fileShown_.empty() || preparing_ ? 0 : viewer_->PageTotal());
  strip_->setVisible(thumbnails_->isChecked() && several);
  UpdateStatus();
}

void TFaxViewer::UpdateStatus() {
  if (fileShown_.empty() || viewer_->PageTotal() == 0) {
    if (!firstActivation_) status_line_->setText(QStringLiteral("No file loaded"));
    return;
  }
  const unsigned page = viewer_->CurrentPage(), total = viewer_->PageTotal();
  if (captionPrefix_.empty())
    status_line_->setText(QString::asprintf("Page %u of %u", page, total));
  else
    status_line_->setText(Q(captionPrefix_) + QString::asprintf(": Page %u of %u", page, total));
  strip_->SetCurrentPage(page);
}

void TFaxViewer::CheckZoom(int level) {
  for (auto& [l, item] : zoomItems_) item->setChecked(l == level);
}

void TFaxViewer::CheckRotation(int rotation) {
  for (auto& [r, item] : rotationItems_) item->setChecked(r == rotation);
}

void TFaxViewer::SetZoom(int level) {
  zoom_ = level;
  viewer_->BeginUpdate();
  if (level == 100) {
    viewer_->SetScaling(false);
  } else {
    viewer_->SetHorizMult(static_cast<unsigned>(level));
    viewer_->SetVertMult(static_cast<unsigned>(level));
    viewer_->SetHorizDiv(100);
    viewer_->SetVertDiv(100);
    viewer_->SetScaling(true);
  }
  viewer_->EndUpdate();
  CheckZoom(level);
}

void TFaxViewer::ZoomIn() {
  if (zoom_ >= 100) {
    Beep();
    return;
  }
  SetZoom(zoom_ + 25);
}

void TFaxViewer::ZoomOut() {
  if (zoom_ <= 25) {
    Beep();
    return;
  }
  SetZoom(zoom_ - 25);
}

void TFaxViewer::SetRotation(int rotation) {
  try {
    viewer_->SetRotation(rotation);
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), Q(e.what()));
  }
  CheckRotation(rotation);
}

bool TFaxViewer::PrinterReady() {
  QPrinter& printer = printer_->Printer();
  if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty()) {
    const unsigned first = printer_->FirstPage(), last = printer_->LastPage();
    if (!printer_->ChoosePages(this)) return false;
    printer_->SetFirstPage(first);
    printer_->SetLastPage(last);
  }
  return true;
}

void TFaxViewer::PrintRange(unsigned first, unsigned last) {
  if (fileShown_.empty()) {
    Beep();
    return;
  }
  if (!FinishPreparation()) return;
  printer_->SetPrintScale(psFitToPage);
  printer_->SetFirstPage(first);
  printer_->SetLastPage(last);
  if (!PrinterReady()) return;
  printer_->SetFirstPage(first);
  printer_->SetLastPage(last);
  try {
    printer_->PrintPages();
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), Q(e.what()));
  }
}

void TFaxViewer::Print() { PrintRange(1, printer_->PageTotal()); }

void TFaxViewer::PrintCurrentPage() { PrintRange(viewer_->CurrentPage(), viewer_->CurrentPage()); }

void TFaxViewer::PrinterSetup() {
  printer_->SetFirstPage(printer_->PageTotal() > 0 ? 1 : 0);
  printer_->SetLastPage(printer_->PageTotal());
  printer_->ChoosePages(this);
}

bool TFaxViewer::SaveAsPdf(const QString& path) {
  if (fileShown_.empty()) {
    Beep();
    return false;
  }
  QString target = path;
  if (target.isEmpty()) {
    target = QFileDialog::getSaveFileName(this, QStringLiteral("Save as PDF"), QDir::home().filePath(QStringLiteral("fax.pdf")),
                                          QStringLiteral("PDF documents (*.pdf)"));
    if (target.isEmpty()) return false;
  }
  if (!FinishPreparation()) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int rc = ExportFaxToPdf(fileShown_, target.toStdString());
  QApplication::restoreOverrideCursor();
  if (rc < 0) {
    QMessageBox::critical(this, windowTitle(), target + QStringLiteral(": ") + Q(ErrorText(rc)));
    return false;
  }
  return true;
}

bool TFaxViewer::SavePageAsPng(const QString& path) {
  const auto bitmap = viewer_->Viewer()->CurrentBitmap();
  if (!bitmap || bitmap->Empty()) {
    Beep();
    return false;
  }
  QString target = path;
  if (target.isEmpty()) {
    target = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save page as PNG"),
        QDir::home().filePath(QStringLiteral("fax-page-%1.png").arg(viewer_->CurrentPage())),
        QStringLiteral("PNG images (*.png)"));
    if (target.isEmpty()) return false;
  }
  if (const int rc = WritePng(target.toStdString(), *bitmap); rc < 0) {
    QMessageBox::critical(this, windowTitle(), target + QStringLiteral(": ") + Q(ErrorText(rc)));
    return false;
  }
  return true;
}

void TFaxViewer::ShowThumbnails(bool on) {
  if (thumbnails_->isChecked() != on) thumbnails_->setChecked(on);
  strip_->setVisible(on && viewer_->PageTotal() > 1);
}

bool TFaxViewer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewer_->Viewer()->viewport() && event->type() == QEvent::Paint && preparing_ &&
      !preparationSteps_->isActive())
    preparationSteps_->start();
  if (watched == viewer_->Viewer()->viewport() && event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() & Qt::ControlModifier) {
      if (wheel->angleDelta().y() > 0) ZoomIn();
      else if (wheel->angleDelta().y() < 0) ZoomOut();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFaxViewer::done(int result) {
  preparationSteps_->stop();
  preparing_ = false;  // what is left is the caller's to drop with its files
  if (!placementSaved_ && hooks_.SavePlacement) hooks_.SavePlacement(this);
  placementSaved_ = true;
  QDialog::done(result);
}

void TFaxViewer::closeEvent(QCloseEvent* event) {
  if (!placementSaved_ && hooks_.SavePlacement) hooks_.SavePlacement(this);
  placementSaved_ = true;
  QDialog::closeEvent(event);
}

}  // namespace ql
