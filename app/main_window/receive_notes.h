#pragma once
// "Received Fax Notes": the user's notes on a received fax.

#include "app/ui/form_dialog.h"

namespace ql {

class TEditReceiveNotes : public TFormDialog {
  Q_OBJECT

 public:
  TEditReceiveNotes(QWidget* parent, const QString& from);

  // Opens the notes of the fax from `from`; on Accept notes holds the typed text.
  static bool Edit(QWidget* parent, const QString& from, QString& notes);

 private:
  TEnterEdit* notes_;
};

}  // namespace ql
