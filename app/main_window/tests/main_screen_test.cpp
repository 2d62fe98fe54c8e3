#include "app/main_window/main_screen.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using C = TCommand;

class MainScreenTest : public ::testing::Test {
 protected:
  MainScreenTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    StartTableSession();
  }
  void NotFirstRun() {
    IniFile ini(dir_ / "QL.INI");
    ini.WriteInteger("Modem", "ComPort", 0);
    ASSERT_TRUE(ini.Save());
  }
  // Rows are written before the window opens the tables (it opens them exclusively).
  void AddOutgoing(const std::string& subject, const std::string& doc, const std::string& cover) {
    xb::TTableEngine out;
    ASSERT_TRUE(OpenFaxDBF(out));
    ASSERT_EQ(AppendDriverFax(out, doc, "Bob", subject, "555-0100"), 0);
    if (!cover.empty()) {
      ASSERT_EQ(WriteCoverSheet(out, FaxInformation{"Bob", subject, "555-0100", "", ""}, cover), 0);
    }
  }
  void AddReceived(const std::string& from, const std::string& file) {
    xb::TTableEngine rec;
    ASSERT_TRUE(OpenRecFaxDBF(rec));
    ASSERT_EQ(AppendReceivedFax(rec, from, 1, file), 0);
  }
  void Send(const std::string& name, const std::string& content) {
    std::filesystem::create_directories(dir_ / "SEND");
    testing::WriteFile(dir_ / "SEND" / name, content);
  }
  static QString Cell(TTableListModel* model, int row, const char* label) {
    for (int c = 0; c < model->columnCount(); ++c) {
      if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == label)
        return model->data(model->index(row, c), Qt::DisplayRole).toString();
    }
    return "?";
  }
  static OutgoingFax OutRow(TMainScreen& w, int row) {
    OutgoingFax fax;
    w.OutTable().Go(w.OutModel()->RecNoAt(row));
    ReadOutgoing(w.OutTable(), fax);
    return fax;
  }
  testing::TempDir dir_;
};

TEST_F(MainScreenTest, FreshFolderCreatesTablesAndOpensPreferencesOnce) {
  TMainScreen window;
  ASSERT_TRUE(window.TablesOpen());
  EXPECT_TRUE(std::filesystem::exists(dir_ / "QLOUT.DBF"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "QLREC.CDX"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "SEND"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Receive"));
  EXPECT_TRUE(window.FirstRun());
  testing::ModalAnswerer answers;
  // The Preferences window opens with its information box over it; the user reads
  // it and accepts Preferences as they stand.
  answers.ThenOn("Information", [](QWidget* info) {
    qobject_cast<QMessageBox*>(info)->button(QMessageBox::Ok)->click();
  });
  answers.ThenOn("Preferences", [](QWidget* prefs) { testing::ClickButtonByText(prefs, "Accept"); });
  window.FirstActivation();
  EXPECT_FALSE(window.FirstRun());
  EXPECT_EQ(IniFile(dir_ / "QL.INI").ReadInteger("Modem", "ComPort", -1), 0);
  window.close();
  EXPECT_TRUE(std::filesystem::exists(dir_ / "Out.gco"));
  EXPECT_TRUE(IniFile(dir_ / "QL.INI").HasSection("TMainScreen_Placement"));
}

TEST_F(MainScreenTest, AnOutgoingTableThatCannotBeOpenedClosesTheProgram) {
  NotFirstRun();
  testing::WriteFile(dir_ / "QLOUT.DBF", "this is no table");
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Ok);
  TMainScreen window;
  EXPECT_FALSE(window.TablesOpen());
  ASSERT_EQ(answers.Seen().size(), 1U);
  EXPECT_EQ(answers.Seen()[0].text, "Unable to open/create the FAX datafile - closing program");
  EXPECT_EQ(testing::ReadFile(dir_ / "QLOUT.DBF"), "this is no table");  // left for the user to rescue
}

TEST_F(MainScreenTest, EmptyListsDisableRowCommandsAndLaterCommandsWaitForTheirPart) {
  NotFirstRun();
  TMainScreen window;
  for (C c : {C::cmEdit, C::cmDelete, C::cmArchive, C::cmClone, C::cmSend, C::cmAddCover, C::cmView,
              C::cmReceive, C::cmModemReset})
    EXPECT_FALSE(window.Action(c)->isEnabled()) << static_cast<int>(c);
  EXPECT_TRUE(window.Action(C::cmNew)->isEnabled());  // a quick fax needs no row
  EXPECT_TRUE(window.Button(C::cmSort)->isEnabled());
  EXPECT_FALSE(window.OutView()->isEnabled());
  EXPECT_EQ(window.OutTable().IndexOrd(), 0);  // empty list: record order
  EXPECT_EQ(window.Action(C::cmEdit)->shortcut(), QKeySequence("Ctrl+E"));
  window.AttachCommand(C::cmReceive, [] {});
  EXPECT_TRUE(window.Action(C::cmReceive)->isEnabled());
  const int beeps = BeepCount();
  window.EditCurrent();
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST_F(MainScreenTest, CtrlTabSwitchesListsAndTheButtonsFollow) {
  NotFirstRun();
  AddReceived("+1 555 0100", "FAX0001.APF");
  TMainScreen window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(window.Button(C::cmClone)->isHidden());
  EXPECT_TRUE(window.Button(C::cmForward)->isHidden());
  QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(window.CurrentTab(), TListTab::ltReceived);
  EXPECT_TRUE(window.Button(C::cmClone)->isHidden());
  EXPECT_FALSE(window.Button(C::cmForward)->isHidden());
  EXPECT_TRUE(window.Button(C::cmForward)->isEnabled());
  EXPECT_EQ(window.RecTable().TagName(window.RecTable().IndexOrd()), "DATETIME");
  QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(window.CurrentTab(), TListTab::ltOutgoing);
  EXPECT_TRUE(window.Button(C::cmForward)->isHidden());
  EXPECT_FALSE(window.Button(C::cmEdit)->isEnabled());
}

TEST_F(MainScreenTest, CloneCopiesBodyAndCoverUnderNewNames) {
  NotFirstRun();
  Send("FAX00000.APF", "body");
  Send("COV00000.APF", "cover");
  Send("COV00000.FCD", "description");
  AddOutgoing("Budget", "FAX00000.APF", "COV00000.APF");
  TMainScreen window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_EQ(window.OutModel()->rowCount(), 1);
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Yes);
  // Ctrl+C in the list clones (it is not the list's copy key here).
  window.OutView()->setFocus();
  QTest::keyClick(window.OutView(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(answers.Seen().at(0).text, "Clone the current fax?\n(subject: \"Budget\")");
  ASSERT_EQ(window.OutModel()->rowCount(), 2);
  const OutgoingFax clone = OutRow(window, window.OutView()->currentIndex().row());
  EXPECT_EQ(clone.subject, "[clone]Budget");
  EXPECT_EQ(clone.recipient, "Bob");
  EXPECT_EQ(clone.phone, "555-0100");
  EXPECT_EQ(clone.faxDoc, "FAX00001.APF");
  EXPECT_EQ(clone.faxCover, "COV00001.APF");
  EXPECT_EQ(testing::ReadFile(dir_ / "SEND" / "FAX00001.APF"), "body");
  EXPECT_EQ(testing::ReadFile(dir_ / "SEND" / "COV00001.APF"), "cover");
  EXPECT_EQ(testing::ReadFile(dir_ / "SEND" / "COV00001.fcd"), "description");
  EXPECT_EQ(testing::ReadFile(dir_ / "SEND" / "FAX00000.APF"), "body");
}

TEST_F(MainScreenTest, DeletingTheCoverOnlyKeepsTheRowAndAllowsAddCover) {
  NotFirstRun();
  Send("FAX00000.APF", "body");
  Send("COV00000.APF", "cover");
  Send("COV00000.fcd", "description");
  AddOutgoing("Budget", "FAX00000.APF", "COV00000.APF");
  TMainScreen window;
  EXPECT_FALSE(window.Action(C::cmAddCover)->isEnabled());
  testing::ModalAnswerer answers;
  answers.Then([](QWidget* w) {
    EXPECT_EQ(w->windowTitle(), "Delete Fax");
    w->findChild<QRadioButton*>("cover")->setChecked(true);
    QMetaObject::invokeMethod(w, "accept");
  });
  window.Action(C::cmDelete)->trigger();
  ASSERT_EQ(window.OutModel()->rowCount(), 1);
  const OutgoingFax row = OutRow(window, 0);
  EXPECT_TRUE(row.faxCover.empty());
  EXPECT_EQ(row.faxDoc, "FAX00000.APF");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "SEND" / "COV00000.APF"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "SEND" / "COV00000.fcd"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "SEND" / "FAX00000.APF"));
  EXPECT_TRUE(window.Action(C::cmAddCover)->isEnabled());

  // A row with a body only is asked about and deleted whole.
  answers.ThenPress(QMessageBox::Yes);
  window.Action(C::cmDelete)->trigger();
  EXPECT_EQ(answers.Seen().back().caption, "Delete");
  EXPECT_EQ(window.OutModel()->rowCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "SEND" / "FAX00000.APF"));
  EXPECT_FALSE(window.Action(C::cmDelete)->isEnabled());
}

TEST_F(MainScreenTest, ArchivingHidesARowAndShowArchivedShowsItInRed) {
  NotFirstRun();
  AddOutgoing("Budget", "FAX00000.APF", "");
  AddOutgoing("Minutes", "FAX00001.APF", "");
  TMainScreen window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_EQ(window.OutModel()->rowCount(), 2);
  window.OutView()->selectRow(0);
  const QString subject = Cell(window.OutModel(), 0, "Subject");
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Yes);
  QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(answers.Seen().at(0).text, "Archive the current fax?\n(subject: " + subject + ")");
  EXPECT_EQ(answers.Seen().at(0).caption, "Archive");
  ASSERT_EQ(window.OutModel()->rowCount(), 1);
  EXPECT_NE(Cell(window.OutModel(), 0, "Subject"), subject);

  window.Action(C::cmShowArchived)->trigger();
  ASSERT_EQ(window.OutModel()->rowCount(), 2);
  int archivedRow = -1;
  for (int r = 0; r < 2; ++r)
    if (Cell(window.OutModel(), r, "Subject") == subject) archivedRow = r;
  ASSERT_GE(archivedRow, 0);
  EXPECT_EQ(window.OutModel()->data(window.OutModel()->index(archivedRow, 0), Qt::ForegroundRole).value<QBrush>().color(),
            QColor(Qt::red));
  window.OutView()->selectRow(archivedRow);
  EXPECT_EQ(window.Button(C::cmArchive)->text(), "Un&Archive");
  EXPECT_EQ(window.Action(C::cmArchive)->text(), "Un&Archive");
}

TEST_F(MainScreenTest, ForwardMakesAnIndependentCopyInTheSendFolder) {
  NotFirstRun();
  std::filesystem::create_directories(dir_ / "Receive");
  testing::WriteFile(dir_ / "Receive" / "FAX0001.APF", "received");
  AddReceived("+1 555 0100", "FAX0001.APF");
  TMainScreen window;
  window.SelectTab(TListTab::ltReceived);
  window.SetButtons();
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Yes).Then([](QWidget* editor) {
    EXPECT_EQ(editor->windowTitle(), "Forward fax from: +1 555 0100");
    editor->findChild<QLineEdit*>("recipient")->setText("Carol");
    editor->findChild<QLineEdit*>("phone")->setText("555-0142");
    testing::ClickButtonByText(editor, "Accept");
  });
  window.Button(C::cmForward)->click();
  EXPECT_EQ(window.CurrentTab(), TListTab::ltOutgoing);
  ASSERT_EQ(window.OutModel()->rowCount(), 1);
  const OutgoingFax row = OutRow(window, 0);
  EXPECT_EQ(row.faxDoc, "FWD00000.APF");
  EXPECT_EQ(row.recipient, "Carol");
  EXPECT_EQ(testing::ReadFile(dir_ / "SEND" / "FWD00000.APF"), "received");

  answers.ThenPress(QMessageBox::Yes);
  window.DeleteCurrent();
  EXPECT_EQ(window.OutModel()->rowCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "SEND" / "FWD00000.APF"));
  EXPECT_EQ(testing::ReadFile(dir_ / "Receive" / "FAX0001.APF"), "received");
  EXPECT_EQ(window.RecModel()->rowCount(), 1);
}

TEST_F(MainScreenTest, EnterEditsTheFaxInformationOfTheCurrentRow) {
  NotFirstRun();
  AddOutgoing("Budget", "FAX00000.APF", "");
  TMainScreen window;
  testing::ModalAnswerer answers;
  answers.Then([](QWidget* editor) {
    EXPECT_EQ(editor->windowTitle(), "Fax Information Editor");
    EXPECT_EQ(editor->findChild<QLineEdit*>("subject")->text(), "Budget");
    editor->findChild<QLineEdit*>("subject")->setText("Budget 2027");
    editor->findChild<QLineEdit*>("codes")->setText("ACME-7");
    testing::ClickButtonByText(editor, "Accept");
  });
  QTest::keyClick(window.OutView(), Qt::Key_Return);
  const OutgoingFax row = OutRow(window, 0);
  EXPECT_EQ(row.subject, "Budget 2027");
  EXPECT_EQ(row.codes, "ACME-7");
  EXPECT_EQ(Cell(window.OutModel(), 0, "Subject"), "Budget 2027");
}

TEST_F(MainScreenTest, SortMenuChoosesTheTagOrder) {
  NotFirstRun();
  AddOutgoing("b", "", "");
  AddOutgoing("A", "", "");
  AddOutgoing("c", "", "");
  TMainScreen window;
  EXPECT_EQ(window.OutTable().TagName(window.OutTable().IndexOrd()), "DATESENT");
  // As the user picks "&Subject" from the menu the Sort button pops up.
  QMenu* menu = nullptr;
  for (QMenu* m : window.findChildren<QMenu*>())
    for (QAction* a : m->actions())
      if (a->text() == "&Subject") menu = m;
  ASSERT_NE(menu, nullptr);
  for (QAction* a : menu->actions()) {
    EXPECT_EQ(a->isChecked(), a->text() == "&Date Sent") << a->text().toStdString();
    if (a->text() == "&Subject") a->trigger();
  }
  EXPECT_EQ(window.OutTable().TagName(window.OutTable().IndexOrd()), "SUBJECT");
  for (QAction* a : menu->actions()) EXPECT_EQ(a->isChecked(), a->text() == "&Subject");
  EXPECT_EQ(Cell(window.OutModel(), 0, "Subject"), "A");
  EXPECT_EQ(Cell(window.OutModel(), 2, "Subject"), "c");
}

}  // namespace
}  // namespace ql
