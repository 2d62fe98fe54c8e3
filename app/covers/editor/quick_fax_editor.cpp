#include "app/covers/editor/quick_fax_editor.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/covers/editor/template_chooser.h"
#include "app/phonebook/phone_book.h"
#include "app/preferences/preferences.h"
#include "app/settings/settings.h"
#include "app/ui/form_dialog.h"
#include "app/ui/message_boxes.h"
#include "platform/help/help.h"

namespace ql {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

TEnterEdit* MakeField(QWidget* parent, const char* name, int maxLength) {
  auto* edit = new TEnterEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(maxLength);
  edit->setMinimumWidth(280);
  return edit;
}

}  // namespace

TCreateEditQuickFax::TCreateEditQuickFax(QWidget* parent)
    : QDialog(parent),
      pickRecipient_(ql::PickFromPhoneBook),
      chooseTemplate_(TPreviewQuickFaxForms::Choose),
      changeSenderInfo_(TPreferences::EditSenderInfo) {
  setObjectName(QStringLiteral("TCreateEditQuickFax"));
  setWindowTitle(QStringLiteral("Fax Cover Sheet Editor"));

  // Field widths follow the outgoing list's columns, so nothing typed is cut when stored.
  recipient_ = MakeField(this, "recipient", 35);
  recipientFax_ = MakeField(this, "recipientFax", 25);
  regarding_ = MakeField(this, "regarding", 50);
  notes_ = MakeField(this, "notes", 50);
  codes_ = MakeField(this, "codes", 25);
  message_ = new QPlainTextEdit(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setTabChangesFocus(true);
  message_->setMinimumSize(460, 200);

  // One grid, so that every label lines up: the one-line fields and the message on the
  // left, the importance flags beside them.
  auto* grid = new QGridLayout;
  const auto addRow = [this, grid](int row, const QString& label, QWidget* field) {
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    grid->addWidget(caption, row, 0, field == message_ ? Qt::AlignTop : Qt::Alignment());
    grid->addWidget(field, row, 1);
  };
  addRow(0, QStringLiteral("&Recipient"), recipient_);
  addRow(1, QStringLiteral("Recipient &Fax Number"), recipientFax_);
  addRow(2, QStringLiteral("Re&garding"), regarding_);
  addRow(3, QStringLiteral("&Message"), message_);
  addRow(4, QStringLiteral("&Notes"), notes_);
  addRow(5, QStringLiteral("C&odes"), codes_);

  auto* flagsBox = new QGroupBox(QStringLiteral("Importance Flags"), this);
  auto* flagsLayout = new QVBoxLayout(flagsBox);
  for (int i = 0; i < kImportanceFlagCount; ++i) {
    flags_[i] = new QCheckBox(QString::fromLatin1(kFlagNames[i]), flagsBox);
    flags_[i]->setObjectName(QStringLiteral("flag%1").arg(i));
    flagsLayout->addWidget(flags_[i]);
  }
  flagsLayout->addStretch(1);
  grid->addWidget(flagsBox, 0, 2, 6, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  auto* templateRow = new QHBoxLayout;
  templateRow->addWidget(new QLabel(QStringLiteral("Using Fax Cover Template:"), this));
  templateLabel_ = new QLabel(this);
  templateLabel_->setObjectName(QStringLiteral("templateName"));
  QFont bold = templateLabel_->font();
  bold.setBold(true);
  templateLabel_->setFont(bold);
  templateRow->addWidget(templateLabel_, 1);

  auto* tools = new QHBoxLayout;
  auto* phoneBook = new QPushButton(QStringLiteral("&Phonebook"), this);
  auto* select = new QPushButton(QStringLiteral("&Select Fax Cover Template"), this);
  senderInfo_ = new QPushButton(QStringLiteral("&Change Sender Info"), this);
  for (QPushButton* b : {phoneBook, select, senderInfo_}) {
    b->setAutoDefault(false);
    tools->addWidget(b);
  }
  tools->addStretch(1);
  connect(phoneBook, &QPushButton::clicked, this, &TCreateEditQuickFax::PickFromPhoneBook);
  connect(select, &QPushButton::clicked, this, &TCreateEditQuickFax::SelectTemplate);
  connect(senderInfo_, &QPushButton::clicked, this, &TCreateEditQuickFax::ChangeSender);

  auto* buttons = new QDialogButtonBox(this);
  auto* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  auto* save = buttons->addButton(QStringLiteral("&Save"), QDialogButtonBox::ActionRole);
  auto* cancel = buttons->addButton(QStringLiteral("Cance&l"), QDialogButtonBox::RejectRole);
  // No default button: Enter moves through the fields and never saves or closes by chance.
  for (QPushButton* b : {help, save, cancel}) b->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &TCreateEditQuickFax::Save);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(kHelpCoverEditor); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addLayout(templateRow);
  layout->addLayout(tools);
  layout->addWidget(buttons);

  // Enter in a one-line field goes on to the next field in this order.
  setTabOrder(recipient_, recipientFax_);
  setTabOrder(recipientFax_, regarding_);
  setTabOrder(regarding_, message_);
  setTabOrder(message_, notes_);
  setTabOrder(notes_, codes_);
  setTabOrder(codes_, flags_[0]);
  for (int i = 1; i < kImportanceFlagCount; ++i) setTabOrder(flags_[i - 1], flags_[i]);

  SetSheet(TCoverSheet{});
}

void TCreateEditQuickFax::SetSheet(const TCoverSheet& sheet) {
  recipient_->setText(Q(sheet.Recipient));
  recipientFax_->setText(Q(sheet.RecipientFax));
  regarding_->setText(Q(sheet.Regarding));
  message_->setPlainText(Q(JoinLines(sheet.MessageLines)));
  notes_->setText(Q(sheet.Notes));
  codes_->setText(Q(sheet.Codes));
  for (int i = 0; i < kImportanceFlagCount; ++i) flags_[i]->setChecked(sheet.Flags[i]);
  templateName_ = Q(sheet.TemplateName);
  ShowTemplateName();
}

TCoverSheet TCreateEditQuickFax::Sheet() const {
  TCoverSheet sheet;
  sheet.Recipient = S(recipient_->text());
  sheet.RecipientFax = S(recipientFax_->text());
  sheet.Regarding = S(regarding_->text());
  sheet.Notes = S(notes_->text());
  sheet.Codes = S(codes_->text());
  // Every line as typed, an empty last line too; an empty message has no lines.
  const QString text = message_->toPlainText();
  if (!text.isEmpty())
    for (const QString& line : text.split(QLatin1Char('\n'))) sheet.MessageLines.push_back(S(line));
  for (int i = 0; i < kImportanceFlagCount; ++i) sheet.Flags[i] = flags_[i]->isChecked();
  sheet.TemplateName = S(templateName_);
  return sheet;
}

bool TCreateEditQuickFax::CheckFields() {
  const auto refuse = [](QWidget* field, const QString& text) {
    ShowInfo(text);
    field->setFocus();
    return false;
  };
  if (recipient_->text().isEmpty()) return refuse(recipient_, QStringLiteral("Please enter a recipient"));
  if (recipientFax_->text().isEmpty())
    return refuse(recipientFax_, QStringLiteral("Please enter a recipient fax number"));
  if (regarding_->text().isEmpty() && message_->toPlainText().isEmpty())
    return refuse(regarding_,
                  QStringLiteral("Please enter text for the \"regarding\" field\rand/or enter a message"));
  return true;
}

QString TCreateEditQuickFax::SenderHint() {
  const TSettings& s = Settings();
  if (s.Name.empty() && s.Company.empty() && s.Fax.empty() && s.Voice.empty())
    return QStringLiteral("No sender information entered");
  return Q(s.Name + "\r" + s.Company + "\r" + s.Fax + "\r" + s.Voice);
}

void TCreateEditQuickFax::PickFromPhoneBook() {
  QString name = recipient_->text();
  QString phone = recipientFax_->text();
  if (pickRecipient_ && pickRecipient_(this, name, phone)) {
    recipient_->setText(name);
    recipientFax_->setText(phone);
  }
}

void TCreateEditQuickFax::SelectTemplate() {
  QString name = templateName_;
  if (chooseTemplate_ && chooseTemplate_(this, name)) {
    templateName_ = name;
    ShowTemplateName();
  }
}

void TCreateEditQuickFax::ChangeSender() {
  if (changeSenderInfo_) changeSenderInfo_(this);
  UpdateSenderHint();
}

void TCreateEditQuickFax::Save() {
  if (!CheckFields()) return;
  if (saveSheet_ && !saveSheet_(Sheet())) return;
  accept();
}

void TCreateEditQuickFax::showEvent(QShowEvent* event) {
  UpdateSenderHint();
  ShowTemplateName();
  QDialog::showEvent(event);
}

void TCreateEditQuickFax::ShowTemplateName() { templateLabel_->setText(templateName_); }

void TCreateEditQuickFax::UpdateSenderHint() {
  senderInfo_->setToolTip(Settings().HintsOn ? DisplayText(SenderHint()) : QString());
}

}  // namespace ql
