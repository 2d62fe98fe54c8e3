// ql: the fax desk. One instance per data folder; a second start brings the first
// window forward and ends.
//   ql [--home DIR] [--minimized]

#include <QApplication>
#include <QTimer>
#include <string>
#include <vector>

#include "app/main_window/main_screen.h"
#include "app/settings/port_settings.h"
#include "platform/data_folder.h"
#include "platform/message_windows/qt_message_pump.h"
#include "platform/single_instance/single_instance.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  const std::filesystem::path folder = ql::InitDataFolder(args);
  ql::InstallSettingsPortResolver();
  bool minimized = false;
  for (const std::string& arg : args) minimized = minimized || arg == "--minimized";
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quillet"));
  ql::InstallQtMessagePump();  // message windows of the components run on this event loop

  ql::TJustOne justOne(folder, QStringLiteral("ql"));
  if (!justOne.Claim()) return 0;  // the running instance comes forward instead

  ql::TMainScreen window;
  if (!window.TablesOpen()) return 1;  // the reason has been shown
  window.SetStartMinimized(minimized);
  QObject::connect(&justOne, &ql::TJustOne::RaiseRequested, &window, &ql::TMainScreen::BringForward);
  QTimer::singleShot(0, &window, &ql::TMainScreen::FirstActivation);
  return QApplication::exec();
}
