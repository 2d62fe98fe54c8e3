#include "app/ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

#include "app/ui/window_glue.h"

namespace ql {
namespace {

int beeps = 0;

QWidget* BoxParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return MainWindow();
}

QMessageBox::StandardButton Ask(const QString& text, const QString& caption,
                                QMessageBox::StandardButton defaultButton) {
  QMessageBox box(QMessageBox::Question, caption, DisplayText(text),
                  QMessageBox::Yes | QMessageBox::No, BoxParent());
  box.setDefaultButton(defaultButton);
  box.setEscapeButton(QMessageBox::No);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, DisplayText(text), QMessageBox::Ok, BoxParent());
  box.exec();
}

}  // namespace

QString DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void ShowInfo(const QString& text) {
  ShowBox(QMessageBox::Information, QStringLiteral("Information"), text);
}

void ShowError(const QString& text) { ShowBox(QMessageBox::Critical, QStringLiteral("Error"), text); }

bool AskYesNo(const QString& text, const QString& caption) {
  return Ask(text, caption, QMessageBox::Yes) == QMessageBox::Yes;
}

bool AskYesNoDefaultNo(const QString& text, const QString& caption) {
  return Ask(text, caption, QMessageBox::No) == QMessageBox::Yes;
}

void Beep() {
  ++beeps;
  QApplication::beep();
}

int BeepCount() { return beeps; }

}  // namespace ql
