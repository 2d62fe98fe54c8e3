#include "app/main_window/fax_editor.h"

#include <QPushButton>

namespace ql {

TFaxEditor::TFaxEditor(QWidget* parent, const QString& caption, PickRecipient pickRecipient)
    : TFormDialog(parent, caption) {
  setObjectName(QStringLiteral("TFaxEditor"));
  recipient_ = AddField(QStringLiteral("Recipient"), 35, QStringLiteral("recipient"));
  phone_ = AddField(QStringLiteral("Recipient Fax#"), 25, QStringLiteral("phone"));
  subject_ = AddField(QStringLiteral("Regarding"), 50, QStringLiteral("subject"));
  notes_ = AddField(QStringLiteral("Notes"), 50, QStringLiteral("notes"));
  codes_ = AddField(QStringLiteral("Codes"), 25, QStringLiteral("codes"));
  QPushButton* phoneBook = AddButton(QStringLiteral("&Phonebook"));
  phoneBook->setEnabled(static_cast<bool>(pickRecipient));
  connect(phoneBook, &QPushButton::clicked, this, [this, pick = std::move(pickRecipient)] {
    QString name = recipient_->text();
    QString phone = phone_->text();
    if (pick && pick(this, name, phone)) {
      recipient_->setText(name);
      phone_->setText(phone);
    }
  });
}

void TFaxEditor::SetInfo(const TFaxInfo& info) {
  recipient_->setText(info.Recipient);
  phone_->setText(info.Phone);
  subject_->setText(info.Subject);
  notes_->setText(info.Notes);
  codes_->setText(info.Codes);
}

TFaxInfo TFaxEditor::Info() const {
  return TFaxInfo{recipient_->text(), phone_->text(), subject_->text(), notes_->text(), codes_->text()};
}

bool TFaxEditor::Edit(QWidget* parent, const QString& caption, TFaxInfo& info, PickRecipient pickRecipient) {
  TFaxEditor editor(parent, caption, std::move(pickRecipient));
  editor.SetInfo(info);
  if (!editor.Run()) return false;
  info = editor.Info();
  return true;
}

}  // namespace ql
