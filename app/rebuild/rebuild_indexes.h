#pragma once
// "Rebuild Indexes": removes the rows marked deleted from the outgoing, received and
// phone-book tables for good and builds every index tag anew, with a gauge and a line
// that says what is being done. The work starts when the window is first shown and the
// window closes itself when it is done. The phone book is skipped when another program
// (the picker) has it open.

#include <QDialog>

#include "table_engine/table_engine.h"

class QLabel;
class QProgressBar;

namespace ql {

class TRebuildInd : public QDialog {
  Q_OBJECT

 public:
  // out and rec: the main window's open (exclusive) fax tables.
  TRebuildInd(QWidget* parent, xb::TTableEngine& out, xb::TTableEngine& rec);

  // Rebuilds the three tables; false when the phone book was skipped.
  bool RebuildAll();

  int Progress() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // One table: pack and tags, with the two status texts of its name ("FAX", ...).
  void RebuildOne(xb::TTableEngine& table, const std::vector<xb::TagDefinition>& tags, const QString& name);

  xb::TTableEngine& out_;
  xb::TTableEngine& rec_;
  QLabel* status_;
  QProgressBar* gauge_;
  bool started_ = false;
};

// The key code that carries a progress report, and whether a key is one.
bool IsGaugeKey(int key);
int GaugePercentOfKey(int key);

}  // namespace ql
