#include "app/main_window/quick_start.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/ui/message_boxes.h"

namespace ql {

QString TQuickStart::Instructions() {
  return QStringLiteral(
      "QUILLET QUICK START\n"
      "\n"
      "1. Set up your fax modem first: open Tools, Preferences, enter your name and\n"
      "   fax number, and pick the Port your fax modem is on.\n"
      "\n"
      "2. To fax a document from any program, print it to the Quillet fax printer.\n"
      "   From a terminal you can also print a PDF or PostScript file with:\n"
      "\n"
      "       ql-print document.pdf\n"
      "\n"
      "   The \"Quillet Printer Driver\" dialog asks for the fax number, the recipient\n"
      "   and the subject. Its Phone Book button lets you pick a recipient from the\n"
      "   Quillet phone book.\n"
      "\n"
      "3. Switch back to Quillet: the printed fax is listed on the Outgoing Faxes tab.\n"
      "   Add a cover sheet with Add Cover if you like, then press Send.\n"
      "\n"
      "4. To receive faxes, press Receive. Quillet answers incoming calls until you\n"
      "   press Stop. Received faxes are listed on the Incoming Faxes tab.\n"
      "\n"
      "5. Keep the lists tidy with Archive (hides a fax without deleting it) and run\n"
      "   Tools, Rebuild Indexes every two weeks.\n");
}

TQuickStart::TQuickStart(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Quick Start"));
  setObjectName(QStringLiteral("TQuickStart"));
  auto* layout = new QVBoxLayout(this);
  text_ = new QPlainTextEdit(Instructions(), this);
  text_->setReadOnly(true);
  text_->setFont(QFont(QStringLiteral("Courier"), 10));
  text_->setMinimumSize(640, 420);
  layout->addWidget(text_);
  auto* buttons = new QDialogButtonBox(this);
  auto* print = buttons->addButton(QStringLiteral("Print"), QDialogButtonBox::ActionRole);
  auto* copy = buttons->addButton(QStringLiteral("Copy to Clipboard"), QDialogButtonBox::ActionRole);
  auto* ok = buttons->addButton(QDialogButtonBox::Ok);
  ok->setDefault(true);
  connect(print, &QPushButton::clicked, this, &TQuickStart::OnPrint);
  connect(copy, &QPushButton::clicked, this, &TQuickStart::CopyToClipboard);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void TQuickStart::PrintText(const QString& text, QPagedPaintDevice& device) {
  QPainter painter(&device);
  QFont font(QStringLiteral("Courier"), 10);
  font.setStyleHint(QFont::TypeWriter);
  painter.setFont(font);
  const QFontMetrics metrics(font, &device);
  const int lineHeight = metrics.boundingRect(QLatin1Char('W')).height();
  const int margin = static_cast<int>(std::lround(device.logicalDpiX() * 0.5));
  int y = static_cast<int>(std::lround(device.logicalDpiY() * 0.5));
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    painter.drawText(margin, y + metrics.ascent(), line);
    y += lineHeight;
  }
}

void TQuickStart::OnPrint() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  PrintText(text_->toPlainText(), printer);
  ShowInfo(windowTitle() + QStringLiteral(" Printed!"));
}

void TQuickStart::CopyToClipboard() {
  QApplication::clipboard()->setText(text_->toPlainText());
  ShowInfo(windowTitle() + QStringLiteral(" copied to the clipboard!"));
}

}  // namespace ql
