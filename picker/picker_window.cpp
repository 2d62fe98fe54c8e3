#include "picker/picker_window.h"

#include <QApplication>

#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "picker/driver_handover.h"

namespace ql {

std::unique_ptr<TPhoneBook> MakePickerWindow() {
  auto window = std::make_unique<TPhoneBook>(nullptr, TPhoneBookMode::pbPick);
  window->setWindowTitle(QString::fromLatin1(kPickerCaption));
  if (!window->Open()) {
    ShowInfo(QStringLiteral("Unable to open or create QLPB.DBF"));
    return nullptr;
  }
  window->SetAcceptHandler([](const QString& name, const QString& phone) {
    if (HandOverToDriverDialog(phone, name) != THandOverResult::hoDone) {
      ShowInfo(QStringLiteral("Unable to locate the Quillet Printer Driver\rdialog box"));
      return false;
    }
    QApplication::processEvents();
    return true;
  });
  SetMainWindow(window.get());
  CenterOverMain(window.get(), "TMainScreen");  // the picker's window stands on the screen's centre
  return window;
}

}  // namespace ql
