#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPdfWriter>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "app/main_window/delete_what.h"
#include "app/main_window/fax_editor.h"
#include "app/main_window/quick_start.h"
#include "app/main_window/receive_notes.h"
#include "app/ui/testing/modal_answerer.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class DeskDialogs : public ::testing::Test {
 protected:
  DeskDialogs() {
    testing::EnsureApplication();
  }
};

TEST_F(DeskDialogs, EnterMovesThroughTheFaxEditorFieldsAndPhonebookFillsTwo) {
  int picks = 0;
  TFaxEditor editor(nullptr, "Fax Information Editor", [&picks](QWidget*, QString& name, QString& phone) {
    ++picks;
    name = "Alice";
    phone = "555-0100";
    return true;
  });
  editor.SetInfo(TFaxInfo{"Bob", "1", "Budget", "n", "c"});
  editor.show();
  editor.activateWindow();
  auto* recipient = editor.findChild<QLineEdit*>("recipient");
  recipient->setFocus();
  QTest::keyClick(recipient, Qt::Key_Return);
  EXPECT_TRUE(editor.isVisible()) << "Enter must not close the editor";
  EXPECT_EQ(editor.focusWidget(), editor.findChild<QLineEdit*>("phone"));

  testing::ClickButtonByText(&editor, "Phonebook");
  EXPECT_EQ(picks, 1);
  const TFaxInfo info = editor.Info();
  EXPECT_EQ(info.Recipient, "Alice");
  EXPECT_EQ(info.Phone, "555-0100");
  EXPECT_EQ(info.Subject, "Budget");
  EXPECT_EQ(info.Notes, "n");
  EXPECT_EQ(info.Codes, "c");
}

TEST_F(DeskDialogs, FieldsKeepTheirStoredWidths) {
  TFaxEditor editor(nullptr, "x", {});
  EXPECT_EQ(editor.findChild<QLineEdit*>("recipient")->maxLength(), 35);
  EXPECT_EQ(editor.findChild<QLineEdit*>("phone")->maxLength(), 25);
  EXPECT_EQ(editor.findChild<QLineEdit*>("subject")->maxLength(), 50);
  TEditReceiveNotes notes(nullptr, "+1 555");
  EXPECT_EQ(notes.findChild<QLineEdit*>("notes")->maxLength(), 60);
  EXPECT_EQ(notes.findChild<QLabel*>("from")->text(), "From: +1 555");
}

TEST_F(DeskDialogs, DeleteFaxOffersBothPreselectedAndCancelChoosesNothing) {
  TDeleteWhat dialog;
  EXPECT_EQ(dialog.Choice(), TDeleteChoice::dwBoth);
  testing::ModalAnswerer answers;
  answers.Then([](QWidget* w) { QMetaObject::invokeMethod(w, "reject"); });
  EXPECT_FALSE(TDeleteWhat::Ask(nullptr).has_value());
  answers.Then([](QWidget* w) {
    w->findChild<QRadioButton*>("cover")->setChecked(true);
    QMetaObject::invokeMethod(w, "accept");
  });
  EXPECT_EQ(TDeleteWhat::Ask(nullptr), TDeleteChoice::dwCover);
}

TEST_F(DeskDialogs, QuickStartCopiesItsWholeTextAndPrintsOnePage) {
  TQuickStart window;
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Ok);
  window.CopyToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(), TQuickStart::Instructions());
  ASSERT_EQ(answers.Seen().size(), 1U);
  EXPECT_EQ(answers.Seen()[0].text, "Quick Start copied to the clipboard!");

  testing::TempDir dir;
  const QString pdf = QString::fromStdString((dir / "quick.pdf").string());
  {
    QPdfWriter writer(pdf);
    TQuickStart::PrintText(TQuickStart::Instructions(), writer);
  }
  const std::string data = testing::ReadFile(dir / "quick.pdf");
  EXPECT_NE(data.find("%PDF"), std::string::npos);
  // One page only, however long the text.
  EXPECT_EQ(data.find("/Count 1"), data.find("/Count"));
}

}  // namespace
}  // namespace ql
