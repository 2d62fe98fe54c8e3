#pragma once
// TFaxStatus: the status display of the fax components, made concrete with the "Fax
// Status" window (TStandardFaxDisplay): every value of the call, the status text, the
// page bar, the elapsed-time clock, the redial countdown and Cancel. The window shows
// itself at a status and hides after the last one.

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <map>
#include <string>

#include "app/send_flow/fax_status_values.h"
#include "fax_engine/components/fax_status.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ql {

class TStandardFaxDisplay : public QDialog {
  Q_OBJECT

 public:
  explicit TStandardFaxDisplay(QWidget* parent);

  // Shows the values; the clock and countdown tick on by themselves between statuses.
  void ShowValues(const TFaxStatusSnapshot& snapshot, int retryWaitSeconds);
  // The text beside a label ("Phone number:", ... "Elapsed time:", "Status:").
  QString Value(const QString& label) const;
  QProgressBar* Bar() const { return bar_; }
  QLabel* BarLabel() const { return barLabel_; }
  QPushButton* CancelButton() const { return cancel_; }

 signals:
  void CancelClicked();

 private:
  void Tick();

  std::map<QString, QLabel*> values_;
  QLabel* status_;
  QLabel* barLabel_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QTimer ticker_;
  QElapsedTimer since_;
  TStatusClock clock_;
  std::string statusText_;
  int retryWait_ = 0;
};

class TFaxStatus : public TAbstractFaxStatus {
 public:
  explicit TFaxStatus(QWidget* parent);
  ~TFaxStatus() override;

  void UpdateDisplay(bool first, bool last) override;
  TStandardFaxDisplay* Display() const { return display_; }

 protected:
  void CreateDisplay() override;
  void DestroyDisplay() override;
  bool DisplayVisible() const override;
  void ApplyVisible(bool on) override;

 private:
  QWidget* parent_;
  QPointer<TStandardFaxDisplay> display_;
};

// The values of a fax component for the display.
TFaxStatusSnapshot SnapshotOf(const TCustomAbstractFax& fax);

}  // namespace ql
