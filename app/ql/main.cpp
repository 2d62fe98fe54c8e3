// ql: the fax desk. One instance per data folder; a second start brings the first
// window forward and ends.
//   ql [--home DIR] [--minimized]

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <span>
#include <string>
#include <vector>

#include "app/desk_flows/desk_flows.h"
#include "app/main_window/main_screen.h"
#include "app/pickup/listener_start.h"
#include "app/settings/port_settings.h"
#include "platform/data_folder.h"
#include "platform/message_windows/qt_message_pump.h"
#include "platform/program_info/program_info.h"
#include "platform/single_instance/single_instance.h"

namespace {

constexpr const char* kUsage =
    "Usage: ql [OPTION]...\n"
    "The fax desk of Quillet: send, receive and keep faxes with a fax modem.\n"
    "\n"
    "Options:\n"
    "  --home DIR     use DIR as the data folder\n"
    "  --minimized    start with the window minimized\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "One fax desk runs per data folder: a second start brings the running window to the front.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (const auto answered = ql::AnswerHelpOrVersion(std::span(args).subspan(1), "ql", kUsage)) return *answered;
  const std::filesystem::path folder = ql::InitDataFolder(args);
  ql::InstallSettingsPortResolver();
  bool minimized = false;
  for (const std::string& arg : args) minimized = minimized || arg == "--minimized";
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quillet"));
  QApplication::setApplicationVersion(QString::fromUtf8(ql::QuilletVersion()));
  QApplication::setDesktopFileName(QStringLiteral("org.quillet.Fax"));  // the installed desktop entry
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quillet.Fax")));
  ql::InstallQtMessagePump();  // message windows of the components run on this event loop

  ql::TJustOne justOne(folder, QStringLiteral("ql"));
  if (!justOne.Claim()) return 0;  // the running instance comes forward instead

  ql::TMainScreen window;
  if (!window.TablesOpen()) return 1;  // the reason has been shown
  const auto flows = ql::AttachDeskFlows(window);
  window.SetStartMinimized(minimized);
  QObject::connect(&justOne, &ql::TJustOne::RaiseRequested, &window, &ql::TMainScreen::BringForward);
  // A fax dropped by ql-print --send-now comes in even where the window manager does not
  // hand the window the focus.
  QObject::connect(&justOne, &ql::TJustOne::RaiseRequested, &window, &ql::TMainScreen::LaterActivation);
  ql::StartPrintListener();  // documents printed to the fax printer reach this desktop
  QTimer::singleShot(0, &window, &ql::TMainScreen::FirstActivation);
  return QApplication::exec();
}
