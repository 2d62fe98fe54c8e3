#pragma once
// "Phone Book Editor": one phone-book entry, a name and a fax number.

#include "app/ui/form_dialog.h"

namespace ql {

class TPhoneBookEditor : public TFormDialog {
  Q_OBJECT

 public:
  explicit TPhoneBookEditor(QWidget* parent = nullptr);

  // Opens the editor on name and phone; on Accept they hold the typed values.
  static bool Edit(QWidget* parent, QString& name, QString& phone);

  TEnterEdit* NameEdit() const { return name_; }
  TEnterEdit* PhoneEdit() const { return phone_; }

 private:
  TEnterEdit* name_;
  TEnterEdit* phone_;
};

}  // namespace ql
