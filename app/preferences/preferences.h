#pragma once
// "Preferences": the user's own name and numbers, dialling, modem and receiving
// settings. Filled from the settings when opened; Accept takes every field back in a
// fixed order and saves the whole settings file; Cancel takes nothing back.

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace ql {

struct TSettings;
class TComPort;
class TSendFax;

// What Accept takes back: every setting, or (for the cover-sheet editor's "Change Sender
// Info") only the sender's values and the dialling and modem values that go with them.
enum class TPreferencesScope { psAll, psSenderInfo };

class TPreferences : public QDialog {
  Q_OBJECT

 public:
  // firstRun: shows, once, the box that tells a new user what to enter.
  explicit TPreferences(QWidget* parent = nullptr, bool firstRun = false,
                        TPreferencesScope scope = TPreferencesScope::psAll);
  ~TPreferences() override;

  // Opens the window modally over the main window; true when the user accepted.
  static bool Edit(QWidget* parent, bool firstRun);
  // The same for "Change Sender Info": Accept takes back exactly own fax number, voice
  // number, name, company, dial prefix, modem init string, dial attempts, retry wait,
  // port, fax class, blind dial and tone/pulse, and saves the settings.
  static bool EditSenderInfo(QWidget* parent);

  // Takes every field into settings, in the fixed order. Stops with the standard
  // integer-conversion message (and changes nothing) when a count is not an integer.
  bool TakeFields(TSettings& settings, QString& error) const;
  // The sender-info subset of TakeFields.
  bool TakeSenderInfo(TSettings& settings, QString& error) const;

  static QString FirstRunText();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FillFields();
  void OnAccept();
  void OnChooseWav();
  void OnPlayWav();
  void ShowModemTool(int tool);

  bool firstRun_;
  TPreferencesScope scope_;
  bool firstRunShown_ = false;
  QLineEdit* name_;
  QLineEdit* fax_;
  QLineEdit* voice_;
  QLineEdit* company_;
  QLineEdit* dialPrefix_;
  QLineEdit* initString_;
  QLineEdit* dialAttempts_;
  QLineEdit* retryWait_;
  QLineEdit* timeout_;
  QComboBox* port_;
  QComboBox* faxClass_;
  QComboBox* toneOrPulse_;
  QCheckBox* blindDial_;
  QCheckBox* ignoreBusy_;
  QComboBox* transferRate_;
  QComboBox* answerOnRing_;
  QLineEdit* wav_;
  QCheckBox* report_;
  // The modem tools' port and the send component that asks the modem its classes.
  std::unique_ptr<TComPort> toolPort_;
  std::unique_ptr<TSendFax> toolFax_;
};

// The standard message of a text that is not an integer: "'abc' is not a valid
// integer value".
QString NotAnIntegerText(const QString& text);
// Reads a decimal integer (surrounding blanks allowed); false when the text is not one.
bool ParseIntegerField(const QString& text, int& value);

}  // namespace ql
