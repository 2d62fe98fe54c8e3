#pragma once
// The "Quillet Printer Driver" dialog: asks the fax number (control 102), the recipient
// (103) and the subject (104) of a printed document while the document is being turned
// into a fax. "Phone Book" starts the picker, which fills 102 and 103 through the dialog's
// local socket and brings the dialog forward. Accepting before the fax is ready waits for
// it; cancelling stops the preparation.

#include <memory>

#include "app/pickup/driver_files.h"
#include "app/ui/form_dialog.h"

class QCheckBox;
class QLabel;

namespace ql {

class TDriverDialogListener;

namespace print {

inline constexpr int kDriverSubjectControl = 104;

class TDriverDialog : public TFormDialog {
  Q_OBJECT

 public:
  explicit TDriverDialog(const FaxDescriptor& prefilled, bool openDesk, QWidget* parent = nullptr);
  ~TDriverDialog() override;

  FaxDescriptor Values() const;
  // Whether the user wants the fax desk brought forward once the fax is dropped.
  bool OpenDesk() const;
  // False when another driver dialog of this user holds the socket; the phone book then
  // has nowhere to put its number.
  bool Listening() const { return listening_; }

  // Progress of the preparation, and its end.
  void ShowProgress(int pagesDone);
  void SetReady(int pages);
  bool Ready() const { return ready_; }
  // The dialog has been cancelled (or closed): the preparation should stop.
  bool Cancelled() const { return cancelled_; }

 public slots:
  void accept() override;
  void reject() override;

 private:
  void StartPhoneBook();

  TEnterEdit* number_;
  TEnterEdit* recipient_;
  TEnterEdit* subject_;
  QLabel* status_;
  QCheckBox* openDesk_;
  std::unique_ptr<TDriverDialogListener> listener_;
  bool listening_ = false;
  bool ready_ = false;
  bool acceptWhenReady_ = false;
  bool cancelled_ = false;
};

}  // namespace print
}  // namespace ql
