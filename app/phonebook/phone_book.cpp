#include "app/phonebook/phone_book.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/phonebook/phone_book_editor.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/help/help.h"

namespace ql {
namespace {

QPushButton* MakeButton(QWidget* parent, QHBoxLayout* row, const char* text) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setAutoDefault(false);
  row->addWidget(button);
  return button;
}

}  // namespace

TPhoneBook::TPhoneBook(QWidget* parent, TPhoneBookMode mode) : QDialog(parent), mode_(mode) {
  setWindowTitle(QStringLiteral("Phone Book Browser"));
  setObjectName(QStringLiteral("TPhoneBook"));
  auto* layout = new QVBoxLayout(this);
  list_ = new QTableView(this);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->setVisible(false);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setMinimumSize(420, 280);
  layout->addWidget(list_);

  auto* row = new QHBoxLayout;
  auto* close = MakeButton(this, row, "C&lose");
  auto* cancel = MakeButton(this, row, "Cance&l");
  auto* add = MakeButton(this, row, "&New");
  edit_ = MakeButton(this, row, "&Edit");
  delete_ = MakeButton(this, row, "&Delete");
  accept_ = MakeButton(this, row, "&Accept");
  auto* help = MakeButton(this, row, "&Help");
  layout->addLayout(row);

  const bool pick = mode_ == TPhoneBookMode::pbPick;
  close->setVisible(!pick);
  cancel->setVisible(pick);
  accept_->setVisible(pick);
  (pick ? accept_ : close)->setDefault(true);

  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(add, &QPushButton::clicked, this, &TPhoneBook::NewEntry);
  connect(edit_, &QPushButton::clicked, this, &TPhoneBook::EditEntry);
  connect(delete_, &QPushButton::clicked, this, &TPhoneBook::DeleteEntry);
  connect(accept_, &QPushButton::clicked, this, &TPhoneBook::AcceptEntry);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(kHelpPhoneBook); });
  connect(list_, &QTableView::doubleClicked, this, [this] { mode_ == TPhoneBookMode::pbPick ? AcceptEntry() : EditEntry(); });
}

TPhoneBook::~TPhoneBook() {
  list_->setModel(nullptr);
  book_.Close();
}

bool TPhoneBook::Open() {
  if (!OpenPhoneDBF(book_, false)) return false;
  model_ = std::make_unique<TTableListModel>(
      book_, std::vector<TListColumn>{{"NAME", QStringLiteral("Name")}, {"PHONE", QStringLiteral("Fax #")}}, "");
  list_->setModel(model_.get());
  list_->setColumnWidth(0, 240);
  Refresh(0);
  return true;
}

void TPhoneBook::Refresh(uint32_t recno) {
  model_->Reload();
  int row = recno != 0 ? model_->RowOfRecNo(recno) : -1;
  if (row < 0 && model_->rowCount() > 0) row = 0;
  if (row >= 0) list_->selectRow(row);
  UpdateEnabling();
}

void TPhoneBook::UpdateEnabling() {
  const bool hasRows = model_ != nullptr && model_->rowCount() > 0;
  edit_->setEnabled(hasRows);
  delete_->setEnabled(hasRows);
  accept_->setEnabled(hasRows);
}

bool TPhoneBook::GoToSelected(uint32_t& recno) {
  const QModelIndex current = list_->currentIndex();
  recno = model_ != nullptr && current.isValid() ? model_->RecNoAt(current.row()) : 0;
  if (recno == 0 || book_.Go(recno) != 0) {
    Beep();
    return false;
  }
  return true;
}

void TPhoneBook::NewEntry() {
  QString name;
  QString phone;
  if (!TPhoneBookEditor::Edit(this, name, phone)) return;
  if (AppendPhoneEntry(book_, PhoneEntry{name.toStdString(), phone.toStdString()}) != 0) {
    ShowError(QStringLiteral("Unable to add the phone book entry"));
  }
  Refresh(book_.RecNo());
}

void TPhoneBook::EditEntry() {
  uint32_t recno = 0;
  if (!GoToSelected(recno)) return;
  PhoneEntry entry;
  ReadPhone(book_, entry);
  QString name = QString::fromStdString(entry.name);
  QString phone = QString::fromStdString(entry.phone);
  if (!TPhoneBookEditor::Edit(this, name, phone)) return;
  ReturnToRow(book_, recno);
  if (WritePhoneEntry(book_, PhoneEntry{name.toStdString(), phone.toStdString()}) != 0)
    ShowError(QStringLiteral("Unable to change the phone book entry"));
  Refresh(recno);
}

void TPhoneBook::DeleteEntry() {
  uint32_t recno = 0;
  if (!GoToSelected(recno)) return;
  PhoneEntry entry;
  ReadPhone(book_, entry);
  if (AskYesNoDefaultNo(QStringLiteral("Delete the current phone book entry?:\r") + QString::fromStdString(entry.name),
                        QStringLiteral("Delete"))) {
    ReturnToRow(book_, recno);
    DeleteRow(book_);
  }
  const int row = list_->currentIndex().row();
  model_->Reload();
  if (model_->rowCount() > 0) list_->selectRow(std::min(row, model_->rowCount() - 1));
  UpdateEnabling();
}

void TPhoneBook::AcceptEntry() {
  uint32_t recno = 0;
  if (!GoToSelected(recno)) return;
  PhoneEntry entry;
  ReadPhone(book_, entry);
  const QString name = QString::fromStdString(entry.name);
  const QString phone = QString::fromStdString(entry.phone);
  if (acceptHandler_) {
    if (acceptHandler_(name, phone)) accept();
    return;
  }
  chosenName_ = name;
  chosenPhone_ = phone;
  accept();
}

bool PickFromPhoneBook(QWidget* parent, QString& name, QString& phone) {
  TPhoneBook book(parent, TPhoneBookMode::pbPick);
  if (!book.Open()) {
    ShowError(QStringLiteral("Unable to open or create QLPB.DBF"));
    return false;
  }
  CenterOverMain(&book);
  if (book.exec() != QDialog::Accepted) return false;
  name = book.ChosenName();
  phone = book.ChosenPhone();
  return true;
}

}  // namespace ql
