// The cover-sheet editor, the template chooser and storing sheets in the outgoing list,
// driven as a user would drive them.

#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/covers/editor/quick_fax.h"
#include "app/covers/editor/quick_fax_editor.h"
#include "app/covers/editor/template_chooser.h"
#include "app/covers/format/cover_template.h"
#include "app/covers/shipped/shipped_covers.h"
#include "app/fax_store/fax_store.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "fax_document/apf/apf_file.h"
#include "platform/data_folder.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ModalAnswerer;

template <typename T>
T* Child(QWidget* w, const char* name) {
  T* child = w->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

void Type(QWidget* editor, const char* field, const QString& text) { Child<QLineEdit>(editor, field)->setText(text); }

class QuickFax : public ::testing::Test {
 protected:
  QuickFax() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    Settings().Name = "Bob Stone";
    Settings().Company = "Stone & Sons";
    StartTableSession();
    EnsureWorkFolders();
    InstallShippedCovers(CoversFolder());
    EXPECT_TRUE(OpenFaxDBF(out_));
  }
  ~QuickFax() override { out_.Close(); }

  OutgoingFax Row(uint32_t recno) {
    OutgoingFax row;
    EXPECT_EQ(out_.Go(recno), 0);
    ReadOutgoing(out_, row);
    return row;
  }
  std::filesystem::path Send(const std::string& name) const { return dir_ / "SEND" / name; }

  testing::TempDir dir_;
  xb::TTableEngine out_;
};

TEST_F(QuickFax, SaveChecksComeInOrderEachPuttingTheCursorInItsField) {
  TCreateEditQuickFax editor;
  int saved = 0;
  editor.SetSaveSheet([&saved](const TCoverSheet&) { return ++saved > 0; });
  editor.show();
  ModalAnswerer answers;
  const auto check = [&](const char* field, const QString& text) {
    answers.ThenPress(QMessageBox::Ok);
    editor.Save();
    ASSERT_FALSE(answers.Seen().empty());
    EXPECT_EQ(answers.Seen().back().text, text);
    EXPECT_EQ(editor.focusWidget(), editor.findChild<QWidget*>(QString::fromLatin1(field)));
    EXPECT_EQ(saved, 0);
    EXPECT_TRUE(editor.isVisible());
  };
  check("recipient", "Please enter a recipient");
  Type(&editor, "recipientFax", "555-0100");  // the fax number alone is not enough
  check("recipient", "Please enter a recipient");
  Type(&editor, "recipient", "Ann");
  Type(&editor, "recipientFax", "");
  check("recipientFax", "Please enter a recipient fax number");
  Type(&editor, "recipientFax", "555-0100");
  check("regarding", "Please enter text for the \"regarding\" field\nand/or enter a message");
  // A message without a subject will do, and so will a subject without a message.
  Child<QPlainTextEdit>(&editor, "message")->setPlainText("Hello");
  editor.Save();
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  Child<QPlainTextEdit>(&editor, "message")->clear();
  Type(&editor, "regarding", "Budget");
  EXPECT_TRUE(editor.CheckFields());
}

TEST_F(QuickFax, EditorFieldsHintsAndButtonsDoWhatTheySay) {
  TCreateEditQuickFax editor;
  int picks = 0;
  editor.SetPickRecipient([&picks](QWidget*, QString& name, QString& phone) {
    ++picks;
    name = "Alice";
    phone = "555-0199";
    return true;
  });
  editor.SetChooseTemplate([](QWidget*, QString& name) {
    EXPECT_EQ(name, "ql0001.fct");
    name = "ql0003.fct";
    return true;
  });
  TCoverSheet sheet;
  sheet.Regarding = "Budget";
  sheet.Notes = "n";
  sheet.Codes = "c";
  editor.SetSheet(sheet);
  editor.show();
  EXPECT_EQ(editor.windowTitle(), "Fax Cover Sheet Editor");
  EXPECT_EQ(Child<QLabel>(&editor, "templateName")->text(), "ql0001.fct");
  EXPECT_EQ(editor.SenderInfoButton()->toolTip(), "Bob Stone\nStone & Sons\n\n");
  EXPECT_EQ(Child<QLineEdit>(&editor, "notes")->maxLength(), 50);
  EXPECT_EQ(Child<QLineEdit>(&editor, "codes")->maxLength(), 25);
  const char* flagNames[] = {"Urgent", "For Review", "Please Comment", "Please Reply", "Please Recycle"};
  for (int i = 0; i < kImportanceFlagCount; ++i)
    EXPECT_EQ(Child<QCheckBox>(&editor, ("flag" + std::to_string(i)).c_str())->text(), flagNames[i]);

  // Enter moves on to the next field instead of saving.
  auto* recipient = Child<QLineEdit>(&editor, "recipient");
  recipient->setFocus();
  QTest::keyClick(recipient, Qt::Key_Return);
  EXPECT_TRUE(editor.isVisible());
  EXPECT_EQ(editor.focusWidget(), editor.findChild<QWidget*>("recipientFax"));

  // The phone book fills recipient and fax number and nothing else.
  ASSERT_TRUE(testing::ClickButtonByText(&editor, "Phonebook"));
  ASSERT_TRUE(testing::ClickButtonByText(&editor, "Select Fax Cover Template"));
  const TCoverSheet now = editor.Sheet();
  EXPECT_EQ(picks, 1);
  EXPECT_EQ(now.Recipient, "Alice");
  EXPECT_EQ(now.RecipientFax, "555-0199");
  EXPECT_EQ(now.Regarding, "Budget");
  EXPECT_EQ(now.Notes, "n");
  EXPECT_EQ(now.Codes, "c");
  EXPECT_EQ(now.TemplateName, "ql0003.fct");
  EXPECT_EQ(Child<QLabel>(&editor, "templateName")->text(), "ql0003.fct");

  Settings() = TSettings{};
  EXPECT_EQ(TCreateEditQuickFax::SenderHint(), "No sender information entered");
}

TEST_F(QuickFax, ChangeSenderInfoTakesBackOnlyTheSenderValuesAndRebuildsTheHint) {
  Settings().MaximumBPS = 19200;  // shown as 9600, and must stay as stored
  Settings().Timeout = 45;
  Settings().AnswerOnRing = 2;
  TCreateEditQuickFax editor;
  editor.show();
  ModalAnswerer answers;
  answers.ThenOn("Preferences", [](QWidget* w) {
    Child<QLineEdit>(w, "name")->setText("Carol Reed");
    Child<QLineEdit>(w, "voice")->setText("555-0111");
    Child<QLineEdit>(w, "timeout")->setText("not a number");  // not taken, so no objection
    Child<QComboBox>(w, "answerOnRing")->setCurrentIndex(0);
    Child<QComboBox>(w, "port")->setCurrentIndex(2);
    testing::ClickButtonByText(w, "Accept");
  });
  ASSERT_TRUE(testing::ClickButtonByText(&editor, "Change Sender Info"));
  EXPECT_EQ(Settings().Name, "Carol Reed");
  EXPECT_EQ(Settings().Voice, "555-0111");
  EXPECT_EQ(Settings().ComPort, 2);
  EXPECT_EQ(Settings().MaximumBPS, 19200);
  EXPECT_EQ(Settings().Timeout, 45);
  EXPECT_EQ(Settings().AnswerOnRing, 2);
  TSettings saved;
  LoadSettings(SettingsFile(), saved);
  EXPECT_EQ(saved.Name, "Carol Reed");
  EXPECT_EQ(editor.SenderInfoButton()->toolTip(), "Carol Reed\nStone & Sons\n\n555-0111");
}

TEST_F(QuickFax, ANewQuickFaxIsAppendedWithItsCoverAndDescriptionAndEditingRewritesBoth) {
  ModalAnswerer answers;
  answers.Then([](QWidget* w) {
    EXPECT_EQ(Child<QLabel>(w, "templateName")->text(), "ql0001.fct");
    Type(w, "recipient", "Ann Lee");
    Type(w, "recipientFax", "555-0100");
    Type(w, "regarding", "Budget");
    Type(w, "notes", "call first");
    Type(w, "codes", "B-7");
    Child<QPlainTextEdit>(w, "message")->setPlainText("Line one\n\nLine three");
    Child<QCheckBox>(w, "flag0")->setChecked(true);
    Child<QCheckBox>(w, "flag3")->setChecked(true);
    testing::ClickButtonByText(w, "Save");
  });
  const TQuickFaxResult made = EditAddQuickFax(nullptr, out_, true, 0);
  ASSERT_EQ(made.Outcome, TQuickFaxOutcome::qoAppended);
  OutgoingFax row = Row(made.RecNo);
  EXPECT_EQ(row.recipient, "Ann Lee");
  EXPECT_EQ(row.phone, "555-0100");
  EXPECT_EQ(row.subject, "Budget");
  EXPECT_EQ(row.notes, "call first");
  EXPECT_EQ(row.codes, "B-7");
  EXPECT_EQ(row.faxCover, "COV00000.APF");
  EXPECT_EQ(row.faxDoc, "");
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(Send("COV00000.APF"), header), 0);
  EXPECT_EQ(header.PageCount, 1);
  EXPECT_EQ(testing::ReadFile(Send("COV00000.FCD")), "ql0001.fct\r\nX  X \r\nLine one\r\n\r\nLine three\r\n");
  const std::string firstDrawing = testing::ReadFile(Send("COV00000.APF"));

  // Edit: the editor opens on the row and its description, and Save rewrites the same
  // cover file and description; the row keeps its FAXCOVER.
  answers.Then([](QWidget* w) {
    EXPECT_EQ(Child<QLineEdit>(w, "recipient")->text(), "Ann Lee");
    EXPECT_EQ(Child<QLineEdit>(w, "regarding")->text(), "Budget");
    EXPECT_EQ(Child<QPlainTextEdit>(w, "message")->toPlainText(), "Line one\n\nLine three");
    EXPECT_TRUE(Child<QCheckBox>(w, "flag0")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(w, "flag1")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(w, "flag3")->isChecked());
    Type(w, "regarding", "Budget 2025");
    Child<QCheckBox>(w, "flag0")->setChecked(false);
    Child<QPlainTextEdit>(w, "message")->setPlainText("Revised figures follow.");
    testing::ClickButtonByText(w, "Save");
  });
  out_.GoTop();  // the table may have moved meanwhile; the editor returns to the row
  const TQuickFaxResult edited = EditAddQuickFax(nullptr, out_, false, made.RecNo);
  ASSERT_EQ(edited.Outcome, TQuickFaxOutcome::qoWritten);
  EXPECT_EQ(edited.RecNo, made.RecNo);
  row = Row(made.RecNo);
  EXPECT_EQ(row.subject, "Budget 2025");
  EXPECT_EQ(row.faxCover, "COV00000.APF");
  EXPECT_FALSE(std::filesystem::exists(Send("COV00001.APF")));
  EXPECT_NE(testing::ReadFile(Send("COV00000.APF")), firstDrawing);
  EXPECT_EQ(testing::ReadFile(Send("COV00000.FCD")), "ql0001.fct\r\n   X \r\nRevised figures follow.\r\n");
  EXPECT_EQ(out_.RecCount(), 1u);

  // Cancel changes nothing.
  answers.Then([](QWidget* w) {
    Type(w, "recipient", "Someone Else");
    testing::ClickButtonByText(w, "Cancel");
  });
  EXPECT_EQ(EditAddQuickFax(nullptr, out_, false, made.RecNo).Outcome, TQuickFaxOutcome::qoCancelled);
  EXPECT_EQ(Row(made.RecNo).recipient, "Ann Lee");
  EXPECT_EQ(testing::ReadFile(Send("COV00000.FCD")), "ql0001.fct\r\n   X \r\nRevised figures follow.\r\n");
}

TEST_F(QuickFax, AddingACoverToAPrintedFaxKeepsItsBodyAndAShortFlagsLineStartsCleared) {
  ASSERT_EQ(AppendDriverFax(out_, "REPORT.APF", "Dan", "Report", "555-0123"), 0);
  const uint32_t printed = out_.RecNo();
  ModalAnswerer answers;
  answers.Then([](QWidget* w) {
    EXPECT_EQ(Child<QLineEdit>(w, "recipient")->text(), "Dan");
    EXPECT_EQ(Child<QLineEdit>(w, "recipientFax")->text(), "555-0123");
    testing::ClickButtonByText(w, "Save");
  });
  ASSERT_EQ(EditAddQuickFax(nullptr, out_, false, printed).Outcome, TQuickFaxOutcome::qoWritten);
  OutgoingFax row = Row(printed);
  EXPECT_EQ(row.faxDoc, "REPORT.APF");
  EXPECT_EQ(row.faxCover, "COV00000.APF");
  EXPECT_TRUE(std::filesystem::exists(Send("COV00000.APF")));

  // A flags line of four characters (an editor cut its trailing blank) is ignored.
  testing::WriteFile(Send("COV00000.FCD"), "ql0002.fct\r\nXXXX\r\nHi\r\n");
  answers.Then([](QWidget* w) {
    EXPECT_EQ(Child<QLabel>(w, "templateName")->text(), "ql0002.fct");
    for (int i = 0; i < kImportanceFlagCount; ++i)
      EXPECT_FALSE(Child<QCheckBox>(w, ("flag" + std::to_string(i)).c_str())->isChecked()) << i;
    EXPECT_EQ(Child<QPlainTextEdit>(w, "message")->toPlainText(), "Hi");
    testing::ClickButtonByText(w, "Cancel");
  });
  EditAddQuickFax(nullptr, out_, false, printed);
}

TEST_F(QuickFax, AFailedDrawingLeavesTheRowAndItsFilesAsTheyWere) {
  ASSERT_EQ(AppendDriverFax(out_, "REPORT.APF", "Dan", "Report", "555-0123"), 0);
  const uint32_t recno = out_.RecNo();
  TCoverSheetStart start;
  start.ExistingCover = dir_ / "gone" / "COV00000.APF";  // its folder has disappeared
  TCoverSheet sheet;
  sheet.Recipient = "Eve";
  sheet.RecipientFax = "1";
  sheet.Regarding = "x";
  const TCoverSaveResult result = SaveCoverSheet(out_, start, sheet, false, recno, TCoverValues{});
  EXPECT_LT(result.Code, 0);
  EXPECT_FALSE(result.Failure.isEmpty());
  const OutgoingFax row = Row(recno);
  EXPECT_EQ(row.recipient, "Dan");
  EXPECT_EQ(row.faxCover, "");
  EXPECT_EQ(out_.RecCount(), 1u);
}

class Chooser : public ::testing::Test {
 protected:
  Chooser() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    for (const char* name : {"b.FCT", "A.fct", "Z.fct", "notes.txt"}) testing::WriteFile(dir_ / name, "");
    QImage picture(20, 30, QImage::Format_Grayscale8);
    picture.fill(200);
    picture.save(QString::fromStdString((dir_ / "B.BMP").string()), "BMP");
    picture.save(QString::fromStdString((dir_ / "a.bmp").string()), "BMP");
    testing::WriteFile(dir_ / "b.des", "The b template\r\nsecond line\r\n");
    testing::WriteFile(dir_ / "A.des", "");
  }
  static QStringList Entries(TPreviewQuickFaxForms& chooser) {
    QStringList names;
    for (int i = 0; i < chooser.List()->count(); ++i) names << chooser.List()->item(i)->text();
    return names;
  }
  testing::TempDir dir_;
};

TEST_F(Chooser, ListsTemplatesInAnyCaseAndSelectsTheCurrentOneWithItsPictureAndDescription) {
  TPreviewQuickFaxForms chooser(nullptr, "B.fct", dir_.path());
  EXPECT_EQ(chooser.windowTitle(), "Select  Fax Cover Template");
  EXPECT_EQ(Entries(chooser), (QStringList{"A.fct", "b.FCT", "Z.fct"}));
  ModalAnswerer answers;
  chooser.show();
  QTest::qWait(20);
  EXPECT_EQ(chooser.List()->currentItem()->text(), "b.FCT");
  EXPECT_FALSE(chooser.Picture()->pixmap().isNull());
  EXPECT_EQ(chooser.Description()->text(), "The b template");
  EXPECT_EQ(chooser.TemplateName(), "b.FCT");

  // A template without its picture says so; one whose description is empty shows none.
  answers.ThenPress(QMessageBox::Ok);
  chooser.List()->setCurrentRow(2);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Image not available");
  EXPECT_EQ(chooser.TemplateName(), "Z.fct");
  EXPECT_TRUE(chooser.Picture()->pixmap().isNull());
  chooser.List()->setCurrentRow(0);
  EXPECT_EQ(chooser.Description()->text(), "");
  EXPECT_EQ(answers.Seen().size(), 1u);
  chooser.Ok();
  EXPECT_EQ(chooser.result(), QDialog::Accepted);
  EXPECT_EQ(chooser.TemplateName(), "A.fct");
}

TEST_F(Chooser, AnUnknownTemplateSelectsTheFirstAndOkWithNothingSelectedBeeps) {
  TPreviewQuickFaxForms chooser(nullptr, "gone.fct", dir_.path());
  chooser.show();
  QTest::qWait(20);
  EXPECT_EQ(chooser.List()->currentItem()->text(), "A.fct");

  testing::TempDir empty;
  TPreviewQuickFaxForms none(nullptr, "ql0001.fct", empty.path());
  none.show();
  QTest::qWait(20);
  const int beeps = BeepCount();
  none.Ok();
  EXPECT_EQ(BeepCount(), beeps + 1);
  EXPECT_TRUE(none.isVisible());
}

TEST(ShippedCovers, MissingFilesAreCopiedAndFilesThereAreLeftAlone) {
  testing::EnsureApplication();
  const std::vector<std::string> files = ShippedCoverFiles();
  int templates = 0;
  for (const std::string& name : files) {
    if (name.size() < 4 || name.substr(name.size() - 4) != ".fct") continue;
    ++templates;
    const std::string stem = name.substr(0, name.size() - 4);
    EXPECT_NE(std::find(files.begin(), files.end(), stem + ".bmp"), files.end()) << name;
    EXPECT_NE(std::find(files.begin(), files.end(), stem + ".des"), files.end()) << name;
  }
  EXPECT_GE(templates, 4);
  EXPECT_NE(std::find(files.begin(), files.end(), "ql0001.fct"), files.end());

  testing::TempDir dir;
  const std::filesystem::path covers = dir / "Covers";
  testing::WriteFile(dir / "placeholder", "");
  std::filesystem::create_directories(covers);
  testing::WriteFile(covers / "QL0002.FCT", "mine");
  testing::WriteFile(covers / "ql0001.des", "my own words\r\n");
  EXPECT_EQ(InstallShippedCovers(covers), static_cast<int>(files.size()) - 2);
  EXPECT_EQ(testing::ReadFile(covers / "QL0002.FCT"), "mine");
  EXPECT_FALSE(std::filesystem::exists(covers / "ql0002.fct"));
  EXPECT_EQ(testing::ReadFile(covers / "ql0001.des"), "my own words\r\n");
  EXPECT_FALSE(ReadCoverTemplateFile(covers / "ql0001.fct").Items.empty());
  EXPECT_EQ(InstallShippedCovers(covers), 0);
}

}  // namespace
}  // namespace ql
