#pragma once
// "Fax Information Editor": who an outgoing fax goes to and what it is about. Also
// used, captioned "Forward fax from: ...", to address a forwarded received fax.

#include <functional>

#include "app/ui/form_dialog.h"

namespace ql {

struct TFaxInfo {
  QString Recipient;
  QString Phone;
  QString Subject;
  QString Notes;
  QString Codes;
};

class TFaxEditor : public TFormDialog {
  Q_OBJECT

 public:
  // pickRecipient is the "&Phonebook" button's action: it fills name and number and
  // returns true when the user picked an entry.
  using PickRecipient = std::function<bool(QWidget* parent, QString& name, QString& phone)>;

  TFaxEditor(QWidget* parent, const QString& caption, PickRecipient pickRecipient);

  void SetInfo(const TFaxInfo& info);
  TFaxInfo Info() const;

  // Opens the editor on info; on Accept info holds the typed values.
  static bool Edit(QWidget* parent, const QString& caption, TFaxInfo& info, PickRecipient pickRecipient);

 private:
  TEnterEdit* recipient_;
  TEnterEdit* phone_;
  TEnterEdit* subject_;
  TEnterEdit* notes_;
  TEnterEdit* codes_;
};

}  // namespace ql
