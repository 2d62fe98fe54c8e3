#include "fax_document/ui/fax_printer_status.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "fax_document/ui/fax_printer.h"

namespace ql {

const char* ProgressWord(int progress) {
  static const char* const kWords[] = {"Idle", "Composing", "Rendering", "Submitting", "Converting"};
  return progress >= 0 && progress <= 4 ? kWords[progress] : "Idle";
}

void TAbstractFaxPrinterStatus::SetPosition(QPoint position) {
  position_ = position;
  ApplyToDisplay();
}

void TAbstractFaxPrinterStatus::SetVisible(bool visible) {
  visible_ = visible;
  ApplyToDisplay();
}

void TAbstractFaxPrinterStatus::ApplyToDisplay() {
  QWidget* display = Display();
  if (display == nullptr) return;
  if (!position_.isNull()) display->move(position_);
  if (!visible_) display->hide();
}

TStandardFaxPrinterStatusDisplay::TStandardFaxPrinterStatusDisplay(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TStandardFaxPrinterStatusDisplay"));
  setWindowTitle(QStringLiteral("Print Status"));
  auto* layout = new QVBoxLayout(this);
  auto* info = new QGroupBox(QStringLiteral("Fax Information"), this);
  auto* form = new QFormLayout(info);
  const auto row = [&](const char* label) {
    auto* value = new QLabel(info);
    form->addRow(QString::fromLatin1(label), value);
    return value;
  };
  fileName = row("Filename");
  totalPages = row("Total Pages");
  resolution = row("Resolution");
  width = row("Width");
  firstPage = row("First Page to Print");
  lastPage = row("Last Page to Print");
  layout->addWidget(info);
  auto* statusBox = new QGroupBox(QStringLiteral("Status"), this);
  auto* statusLayout = new QVBoxLayout(statusBox);
  status = new QLabel(QStringLiteral("Idle"), statusBox);
  status->setObjectName(QStringLiteral("printStatus"));
  statusLayout->addWidget(status);
  layout->addWidget(statusBox);
  abort = new QPushButton(QStringLiteral("Abort"), this);
  layout->addWidget(abort, 0, Qt::AlignHCenter);
  setMinimumWidth(300);
}

TFaxPrinterStatus::~TFaxPrinterStatus() { DestroyDisplay(); }

void TFaxPrinterStatus::CreateDisplay() {
  if (display_) return;
  display_ = new TStandardFaxPrinterStatusDisplay(qobject_cast<QWidget*>(parent()));
  display_->setWindowFlag(Qt::Window);
  connect(display_->abort, &QPushButton::clicked, this, [this] {
    if (FaxPrinter() != nullptr) FaxPrinter()->AbortPrint();
  });
}

void TFaxPrinterStatus::DestroyDisplay() { delete display_.data(); }

void TFaxPrinterStatus::UpdateDisplay(bool first, bool last) {
  TFaxPrinter* printer = FaxPrinter();
  if (printer == nullptr) return;
  if (!display_) CreateDisplay();
  TStandardFaxPrinterStatusDisplay& d = *display_;
  if (first) {
    d.fileName->setText(
        QString::fromStdString(std::filesystem::path(printer->FileName()).filename().string()).toUpper());
    d.totalPages->setNum(static_cast<int>(printer->PageTotal()));
    d.resolution->setText(printer->FirstPageHighRes() ? QStringLiteral("high") : QStringLiteral("standard"));
    d.width->setText(printer->FirstPageWide() ? QStringLiteral("2048") : QStringLiteral("1728"));
    d.firstPage->setNum(static_cast<int>(printer->FirstPage()));
    d.lastPage->setNum(static_cast<int>(printer->LastPage()));
    if (Visible()) {
      ApplyToDisplay();
      d.show();
      d.raise();
    }
  }
  d.status->setText(QString::asprintf("%s %d of %d", ProgressWord(printer->Progress()),
                                      static_cast<int>(printer->CurrentPage()), static_cast<int>(printer->LastPage())));
  if (last) d.hide();
}

}  // namespace ql
