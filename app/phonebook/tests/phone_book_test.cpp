#include "app/phonebook/phone_book.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class PhoneBookTest : public ::testing::Test {
 protected:
  PhoneBookTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    StartTableSession();
  }
  static QPushButton* Button(QWidget* w, const QString& text) {
    for (auto* b : w->findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return nullptr;
  }
  static QString Cell(TPhoneBook& book, int row, int column) {
    return book.Model()->data(book.Model()->index(row, column), Qt::DisplayRole).toString();
  }
  // Answers the entry editor with a name and a number.
  static testing::ModalAnswerer::Answer Type(QString name, QString phone) {
    return [name, phone](QWidget* editor) {
      editor->findChild<QLineEdit*>("name")->setText(name);
      editor->findChild<QLineEdit*>("phone")->setText(phone);
      testing::ClickButtonByText(editor, "Accept");
    };
  }
  testing::TempDir dir_;
};

TEST_F(PhoneBookTest, NewEntriesAreListedByNameAsTyped) {
  TPhoneBook book(nullptr, TPhoneBookMode::pbBrowse);
  ASSERT_TRUE(book.Open());
  EXPECT_TRUE(std::filesystem::exists(dir_ / "QLPB.DBF"));
  testing::ModalAnswerer answers;
  answers.Then(Type("bob", "1")).Then(Type("Alice", "2")).Then(Type("Bob", "3"));
  book.NewEntry();
  book.NewEntry();
  book.NewEntry();
  ASSERT_EQ(book.Model()->rowCount(), 3);
  EXPECT_EQ(Cell(book, 0, 0), "Alice");
  EXPECT_EQ(Cell(book, 1, 0), "Bob");
  EXPECT_EQ(Cell(book, 2, 0), "bob");
  EXPECT_EQ(book.Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Fax #");
}

TEST_F(PhoneBookTest, DeletingTheLastEntryDisablesEditDeleteAndAccept) {
  {
    xb::TTableEngine table;
    ASSERT_TRUE(OpenPhoneDBF(table));
    ASSERT_EQ(AppendPhoneEntry(table, PhoneEntry{"Alice", "555"}), 0);
  }
  TPhoneBook book(nullptr, TPhoneBookMode::pbPick);
  ASSERT_TRUE(book.Open());
  EXPECT_TRUE(Button(&book, "&Accept")->isEnabled());
  EXPECT_TRUE(Button(&book, "C&lose")->isHidden());
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::No).ThenPress(QMessageBox::Yes);
  book.DeleteEntry();  // answered No: kept
  EXPECT_EQ(book.Model()->rowCount(), 1);
  book.DeleteEntry();
  EXPECT_EQ(answers.Seen()[1].text, "Delete the current phone book entry?:\nAlice");
  EXPECT_EQ(book.Model()->rowCount(), 0);
  EXPECT_FALSE(Button(&book, "&Edit")->isEnabled());
  EXPECT_FALSE(Button(&book, "&Delete")->isEnabled());
  EXPECT_FALSE(Button(&book, "&Accept")->isEnabled());
  const int beeps = BeepCount();
  book.EditEntry();
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST_F(PhoneBookTest, EditChangesTheEntryAndPickReturnsIt) {
  {
    xb::TTableEngine table;
    ASSERT_TRUE(OpenPhoneDBF(table));
    ASSERT_EQ(AppendPhoneEntry(table, PhoneEntry{"Alice", "555"}), 0);
  }
  testing::ModalAnswerer answers;
  QString name;
  QString phone;
  // The browser opens; the user edits the entry, then accepts it.
  answers.Then([](QWidget* browser) {
    auto* book = qobject_cast<TPhoneBook*>(browser);
    book->EditEntry();
    book->AcceptEntry();
  });
  answers.Then(Type("Alice Brown", "555-0199"));
  ASSERT_TRUE(PickFromPhoneBook(nullptr, name, phone));
  EXPECT_EQ(name, "Alice Brown");
  EXPECT_EQ(phone, "555-0199");
}

}  // namespace
}  // namespace ql
