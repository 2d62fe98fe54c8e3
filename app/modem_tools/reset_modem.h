#pragma once
// "Modem Reset": edits and tries the two reset strings that the send and receive flows
// send before and after each fax session. However it is closed, both strings are taken
// into the settings and the settings are saved; the port chosen here is not kept.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ql {

class TComPort;

class TResetModemForm : public QDialog {
  Q_OBJECT

 public:
  // Loads the settings first, so the dialog shows what QL.INI holds.
  TResetModemForm(QWidget* parent, TComPort& port);

  // Opens the dialog modally over the main window.
  static void Run(QWidget* parent, TComPort& port);

  QLineEdit* BeforeEdit() const { return before_; }
  QLineEdit* AfterEdit() const { return after_; }

 protected:
  void done(int result) override;

 private:
  void SendNow(QLineEdit* edit);

  TComPort& port_;
  QComboBox* port_list_;
  QLineEdit* before_;
  QLineEdit* after_;
  QLabel* status_;
  QPushButton* ok_;
};

}  // namespace ql
