#include "app/ui/window_glue.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "app/settings/placement.h"
#include "app/settings/settings.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace ql {
namespace {

QPointer<QWidget> mainWindow;

TRect ToRect(const QRect& r) { return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

QRect ScreenRect(const QWidget* window) {
  QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// A window that has never been shown has no settled size yet; give it the size it
// would get when shown, so the centring uses the real extent.
QSize SettledSize(QWidget* window) {
  if (!window->isVisible() && !window->testAttribute(Qt::WA_Resized)) window->adjustSize();
  return window->size();
}

}  // namespace

void SetMainWindow(QWidget* window) { mainWindow = window; }
QWidget* MainWindow() { return mainWindow.data(); }

int LogicalDpi(const QWidget* window) { return window->logicalDpiY(); }

void CenterOverMain(QWidget* window, const std::string& className) {
  const QSize size = SettledSize(window);
  QRect outer = ScreenRect(window);
  const bool isMain = ToUpperAscii(className) == "TMAINSCREEN";
  if (!isMain && mainWindow != nullptr && mainWindow != window && !mainWindow->isMaximized() &&
      mainWindow->isVisible()) {
    outer = mainWindow->frameGeometry();
  }
  const TRect placed = CenterRect(ToRect(outer), size.width(), size.height());
  window->move(placed.Left, placed.Top);
  if (window->windowFlags() & Qt::WindowMaximizeButtonHint)
    window->setWindowFlag(Qt::WindowSystemMenuHint, true);
}

void LoadPlacement(QWidget* window, const std::string& className) {
  const IniFile ini(SettingsFile());
  const std::string section = PlacementSection(className, LogicalDpi(window));
  const TPlacement current{TRect{}, window->isMaximized()};
  const TPlacement stored = ReadPlacement(ini, section, current);
  if (HasStoredRect(stored)) {
    const QRect screen = ScreenRect(window);
    window->setGeometry(ToQRect(ShiftIntoScreen(stored.Rect, screen.right() + 1, screen.bottom() + 1)));
  } else {
    CenterOverMain(window, className);
  }
  if (stored.Maximized) window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void SavePlacement(QWidget* window, const std::string& className) {
  IniFile ini(SettingsFile());
  TPlacement placement;
  placement.Rect = ToRect(window->isMaximized() ? window->normalGeometry() : window->geometry());
  placement.Maximized = window->isMaximized();
  WritePlacement(ini, PlacementSection(className, LogicalDpi(window)), placement);
  ini.Save();  // a placement that cannot be written is only lost, never an error
}

}  // namespace ql
