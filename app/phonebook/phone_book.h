#pragma once
// "Phone Book Browser": the phone book ("QLPB.DBF", opened shared) as a list of names
// and fax numbers with New, Edit and Delete. In browse mode it closes with "C&lose"; in
// pick mode "&Accept" chooses the current entry and "Cance&l" chooses nothing. The
// picker program uses the same window with its own Accept.

#include <QDialog>
#include <functional>
#include <memory>

#include "table_engine/table_engine.h"

class QPushButton;
class QTableView;

namespace ql {

class TTableListModel;

enum class TPhoneBookMode { pbBrowse, pbPick };

class TPhoneBook : public QDialog {
  Q_OBJECT

 public:
  TPhoneBook(QWidget* parent, TPhoneBookMode mode);
  ~TPhoneBook() override;

  // Opens the phone book (creating it when missing); false when it cannot be opened.
  bool Open();

  // Accept in pick mode: by default stores the current entry and closes with OK. The
  // handler replaces that; it gets the entry and decides whether the window closes.
  using AcceptHandler = std::function<bool(const QString& name, const QString& phone)>;
  void SetAcceptHandler(AcceptHandler handler) { acceptHandler_ = std::move(handler); }

  const QString& ChosenName() const { return chosenName_; }
  const QString& ChosenPhone() const { return chosenPhone_; }

  QTableView* List() const { return list_; }
  TTableListModel* Model() const { return model_.get(); }

  void NewEntry();
  void EditEntry();
  void DeleteEntry();
  void AcceptEntry();

 private:
  // Enabling after every change: Edit, Delete and Accept need an entry.
  void UpdateEnabling();
  // Reads the list again and selects the row of recno (or the first row).
  void Refresh(uint32_t recno);
  // Moves the table to the selected entry; false (after a beep) when there is none.
  bool GoToSelected(uint32_t& recno);

  TPhoneBookMode mode_;
  xb::TTableEngine book_;
  std::unique_ptr<TTableListModel> model_;
  QTableView* list_;
  QPushButton* edit_;
  QPushButton* delete_;
  QPushButton* accept_;
  AcceptHandler acceptHandler_;
  QString chosenName_;
  QString chosenPhone_;
};

// The "&Phonebook" button of the editors: opens the browser in pick mode over parent;
// true with name and phone set when the user accepted an entry.
bool PickFromPhoneBook(QWidget* parent, QString& name, QString& phone);

}  // namespace ql
