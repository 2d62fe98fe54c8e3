#pragma once
// Check Fax Class: asks the modem which fax command sets it supports and recommends
// the highest of them.

#include <QDialog>
#include <string>

#include "fax_engine/session/fax_class.h"

class QLabel;
class QPushButton;

namespace ql {

class TComPort;
class TCustomAbstractFax;

// The verdict on the classes a modem reported.
struct TClassVerdict {
  int recommended = -1;   // -1 none, 0 Class 1, 1 Class 2, 2 Class 2.0
  std::string name;       // "Class 1", "Class 2", "Class 2.0"
  std::string class1, class2, class20;  // the three labels
  bool class20Bold = false;
  std::string status;
};

// The labels and advice for a query result; ok false: the query failed or found no class.
TClassVerdict JudgeFaxClasses(bool ok, TFaxClassSet classes, int portNumber);

class TCheckFaxClassForm : public QDialog {
  Q_OBJECT

 public:
  TCheckFaxClassForm(QWidget* parent, TComPort& port, TCustomAbstractFax& fax, int portNumber);

  const TClassVerdict& Verdict() const { return verdict_; }
  bool Finished() const { return finished_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RunCheck();
  void Show(const TClassVerdict& verdict);

  TComPort& port_;
  TCustomAbstractFax& fax_;
  int portNumber_;
  QLabel* class1_;
  QLabel* class2_;
  QLabel* class20_;
  QLabel* status_;
  QPushButton* ok_;
  TClassVerdict verdict_;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace ql
