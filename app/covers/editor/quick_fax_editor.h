#pragma once
// "Fax Cover Sheet Editor": a cover sheet or quick fax being written. Recipient, fax
// number, subject, message, notes and codes, the five importance flags and the template
// the sheet is drawn from. Save checks the fields, then hands the sheet to the save
// handler and closes once it is stored; a sheet that could not be stored stays open, so
// nothing typed is lost.

#include <QDialog>
#include <array>
#include <functional>

#include "app/covers/format/cover_sheet.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ql {

class TEnterEdit;

class TCreateEditQuickFax : public QDialog {
  Q_OBJECT

 public:
  // "&Phonebook": fills name and number, true when the user picked an entry.
  using PickRecipient = std::function<bool(QWidget* parent, QString& name, QString& phone)>;
  // "&Select Fax Cover Template": true with the name changed when the user chose one.
  using ChooseTemplate = std::function<bool(QWidget* parent, QString& templateName)>;
  // "&Change Sender Info": true when the user accepted new values.
  using ChangeSenderInfo = std::function<bool(QWidget* parent)>;
  // Stores the checked sheet; false keeps the editor open (the handler told the user why).
  using SaveSheet = std::function<bool(const TCoverSheet& sheet)>;

  explicit TCreateEditQuickFax(QWidget* parent = nullptr);

  void SetPickRecipient(PickRecipient pick) { pickRecipient_ = std::move(pick); }
  void SetChooseTemplate(ChooseTemplate choose) { chooseTemplate_ = std::move(choose); }
  void SetChangeSenderInfo(ChangeSenderInfo change) { changeSenderInfo_ = std::move(change); }
  void SetSaveSheet(SaveSheet save) { saveSheet_ = std::move(save); }

  void SetSheet(const TCoverSheet& sheet);
  TCoverSheet Sheet() const;

  // The save checks in their order, each with its box and the cursor put in its field.
  bool CheckFields();
  // The hint of "&Change Sender Info": name, company, fax and voice on four lines, or
  // "No sender information entered".
  static QString SenderHint();

  QPushButton* SenderInfoButton() const { return senderInfo_; }

  void PickFromPhoneBook();
  void SelectTemplate();
  void ChangeSender();
  void Save();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowTemplateName();
  void UpdateSenderHint();

  TEnterEdit* recipient_;
  TEnterEdit* recipientFax_;
  TEnterEdit* regarding_;
  QPlainTextEdit* message_;
  TEnterEdit* notes_;
  TEnterEdit* codes_;
  std::array<QCheckBox*, kImportanceFlagCount> flags_{};
  QLabel* templateLabel_;
  QPushButton* senderInfo_;
  QString templateName_;

  PickRecipient pickRecipient_;
  ChooseTemplate chooseTemplate_;
  ChangeSenderInfo changeSenderInfo_;
  SaveSheet saveSheet_;
};

}  // namespace ql
