#pragma once
// Placing windows: every dialog is centred over the main window just before it is
// shown, and the windows that keep their place restore it from QL.INI when they are
// shown and save it when they close. The section name is the window's class name.

#include <string>

class QWidget;

namespace ql {

// The window dialogs are centred over (the fax desk's main window, or the picker's).
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

// Centres a window: a window of class "TMainScreen" on the screen; any other over the
// main window, or on the screen while the main window is maximised or absent.
void CenterOverMain(QWidget* window, const std::string& className = {});

// Restores the placement stored for className (centring the window when none is
// stored), shifted into the screen, maximised when it was.
void LoadPlacement(QWidget* window, const std::string& className);
// Writes the window's restored rectangle and maximised state for className.
void SavePlacement(QWidget* window, const std::string& className);

// The logical resolution that picks the placement section.
int LogicalDpi(const QWidget* window);

}  // namespace ql
