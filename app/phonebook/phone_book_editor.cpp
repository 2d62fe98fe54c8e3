#include "app/phonebook/phone_book_editor.h"

#include <QPushButton>

#include "platform/help/help.h"

namespace ql {

TPhoneBookEditor::TPhoneBookEditor(QWidget* parent) : TFormDialog(parent, QStringLiteral("Phone Book Editor")) {
  setObjectName(QStringLiteral("TPhoneBookEditor"));
  name_ = AddField(QStringLiteral("Name"), 35, QStringLiteral("name"));
  phone_ = AddField(QStringLiteral("Fax Number"), 25, QStringLiteral("phone"));
  connect(AddButton(QStringLiteral("&Help")), &QPushButton::clicked, this, [] { ShowHelp(kHelpPhoneBookEditor); });
}

bool TPhoneBookEditor::Edit(QWidget* parent, QString& name, QString& phone) {
  TPhoneBookEditor editor(parent);
  editor.name_->setText(name);
  editor.phone_->setText(phone);
  if (!editor.Run()) return false;
  name = editor.name_->text();
  phone = editor.phone_->text();
  return true;
}

}  // namespace ql
