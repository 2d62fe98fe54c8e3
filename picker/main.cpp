// qlpick: started by the fax printer driver while its dialog asks for a fax number;
// the user picks a phone-book entry and the picker hands it to that dialog.

#include <QApplication>
#include <string>
#include <vector>

#include "app/fax_store/fax_store.h"
#include "app/settings/port_settings.h"
#include "picker/picker_window.h"
#include "platform/data_folder.h"
#include "platform/message_windows/qt_message_pump.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  ql::InitDataFolder(args);
  ql::InstallSettingsPortResolver();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet Printer Driver Phone Book"));
  ql::InstallQtMessagePump();  // message windows of the components run on this event loop
  ql::StartTableSession();
  std::unique_ptr<ql::TPhoneBook> window = ql::MakePickerWindow();
  if (!window) return 1;
  window->exec();  // Accept (after the hand-over) and Cancel both end the picker
  return 0;
}
