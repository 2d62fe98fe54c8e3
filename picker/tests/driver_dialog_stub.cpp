// A stand-in for the fax printer driver's dialog: a minimised window with the fax
// number (102) and name (103) fields, listening for the picker. It prints "listening"
// once ready, and after the picker has raised it prints the two fields and whether it
// is still minimised, then ends.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

#include "picker/driver_handover.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget dialog;
  dialog.setWindowTitle(QString::fromLatin1(ql::kDriverDialogTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* phone = new QLineEdit(&dialog);
  auto* name = new QLineEdit(&dialog);
  layout->addWidget(phone);
  layout->addWidget(name);
  dialog.showMinimized();
  ql::TDriverDialogListener listener(&dialog, {{ql::kDriverPhoneControl, phone}, {ql::kDriverNameControl, name}});
  if (!listener.Listen()) return 2;
  std::printf("listening\n");
  std::fflush(stdout);
  // The picker's last request raises the dialog; report once it has been handled.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!phone->text().isEmpty() && !name->text().isEmpty() && !dialog.isMinimized()) {
      std::printf("phone=%s\nname=%s\nminimised=%d\n", phone->text().toUtf8().constData(),
                  name->text().toUtf8().constData(), dialog.isMinimized() ? 1 : 0);
      std::fflush(stdout);
      QTimer::singleShot(200, &app, &QApplication::quit);  // let the last answer go out
      poll.stop();
    }
  });
  poll.start(10);
  QTimer::singleShot(10000, &app, [] { QApplication::exit(3); });
  return QApplication::exec();
}
