// qlpick: started by the fax printer driver while its dialog asks for a fax number;
// the user picks a phone-book entry and the picker hands it to that dialog.

#include <QApplication>
#include <QIcon>
#include <span>
#include <string>
#include <vector>

#include "app/fax_store/fax_store.h"
#include "app/settings/port_settings.h"
#include "picker/picker_window.h"
#include "platform/data_folder.h"
#include "platform/message_windows/qt_message_pump.h"
#include "platform/program_info/program_info.h"

namespace {

constexpr const char* kUsage =
    "Usage: qlpick [OPTION]...\n"
    "The phone-number picker of Quillet: hands a number and a name from the phone book to the fax printer's dialog.\n"
    "\n"
    "Options:\n"
    "  --home DIR     use DIR as the data folder (the one whose phone book is shown)\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (const auto answered = ql::AnswerHelpOrVersion(std::span(args).subspan(1), "qlpick", kUsage)) return *answered;
  ql::InitDataFolder(args);
  ql::InstallSettingsPortResolver();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet Printer Driver Phone Book"));
  QApplication::setApplicationVersion(QString::fromUtf8(ql::QuilletVersion()));
  QApplication::setDesktopFileName(QStringLiteral("org.quillet.PhoneBook"));  // the installed desktop entry
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quillet.PhoneBook")));
  ql::InstallQtMessagePump();  // message windows of the components run on this event loop
  ql::StartTableSession();
  std::unique_ptr<ql::TPhoneBook> window = ql::MakePickerWindow();
  if (!window) return 1;
  window->exec();  // Accept (after the hand-over) and Cancel both end the picker
  return 0;
}
