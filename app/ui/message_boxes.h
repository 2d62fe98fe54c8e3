#pragma once
// The three message boxes every window uses, and the beep of a command that does not
// apply. Texts may carry "\r" or "\r\n" line breaks; they are shown as line breaks.

#include <QString>

class QWidget;

namespace ql {

// "Information" box with an information icon and one OK button.
void ShowInfo(const QString& text);
// Error box (caption "Error") for failures the user must know about.
void ShowError(const QString& text);
// Question with Yes and No; Yes is the default. True when the user answers Yes.
bool AskYesNo(const QString& text, const QString& caption);
// The same with No as the default button: every delete, clone, archive and forward
// confirmation uses this one.
bool AskYesNoDefaultNo(const QString& text, const QString& caption);

// A command that does not apply beeps instead of acting. The count lets tests tell a
// beep from a silent no-op.
void Beep();
int BeepCount();

// "\r\n" and lone "\r" become "\n".
QString DisplayText(const QString& text);

}  // namespace ql
