// The main window's commands as a user meets them: where each one stands (menu, button,
// shortcut, hint), which are enabled for each list and state, and that every place runs
// the command it shows.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <algorithm>
#include <map>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/main_screen.h"
#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using C = TCommand;

// The commands another part of the program carries out.
const C kAttachable[] = {C::cmSend, C::cmReceive, C::cmModemReset};

// Every command with controls of its own.
const C kAll[] = {C::cmNew,
                  C::cmAddCover,
                  C::cmEdit,
                  C::cmClone,
                  C::cmDelete,
                  C::cmArchive,
                  C::cmForward,
                  C::cmShowArchived,
                  C::cmSend,
                  C::cmReceive,
                  C::cmView,
                  C::cmSort,
                  C::cmModemReset,
                  C::cmPhoneBook,
                  C::cmRebuild,
                  C::cmPreferences,
                  C::cmExit,
                  C::cmContents,
                  C::cmTroubleshooting,
                  C::cmAbout,
                  C::cmHints,
                  C::cmQuickStart};

class CommandTableTest : public ::testing::Test {
 protected:
  CommandTableTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    StartTableSession();
    IniFile ini(dir_ / "QL.INI");
    ini.WriteInteger("Modem", "ComPort", 0);  // not a first run
    EXPECT_TRUE(ini.Save());
  }
  // Rows go in before the window opens the tables (it opens them exclusively). The
  // outgoing rows: "Budget" with a cover sheet, "Minutes" without.
  void AddRows(bool outgoing, bool received) {
    if (outgoing) {
      xb::TTableEngine out;
      ASSERT_TRUE(OpenFaxDBF(out));
      ASSERT_EQ(AppendDriverFax(out, "FAX00000.APF", "Bob", "Budget", "555-0100"), 0);
      ASSERT_EQ(WriteCoverSheet(out, FaxInformation{"Bob", "Budget", "555-0100", "", ""}, "COV00000.APF"), 0);
      ASSERT_EQ(AppendDriverFax(out, "FAX00001.APF", "Ann", "Minutes", "555-0101"), 0);
    }
    if (received) {
      xb::TTableEngine rec;
      ASSERT_TRUE(OpenRecFaxDBF(rec));
      ASSERT_EQ(AppendReceivedFax(rec, "+1 555 0100", 1, "FAX0001.APF"), 0);
      std::filesystem::create_directories(dir_ / "Receive");
      testing::WriteFile(dir_ / "Receive" / "FAX0001.APF", "received");
    }
  }
  static void AttachAll(TMainScreen& window, std::map<C, int>& runs) {
    for (C c : kAttachable) window.AttachCommand(c, [&runs, c] { ++runs[c]; });
  }
  static void SelectSubject(TMainScreen& window, const QString& subject) {
    TTableListModel* model = window.OutModel();
    for (int r = 0; r < model->rowCount(); ++r)
      if (model->data(model->index(r, 0), Qt::DisplayRole).toString() == subject)
        window.OutView()->selectRow(r);
    window.SetButtons();  // before the first activation a new row updates the archive captions only
  }
  static std::vector<C> Enabled(const TMainScreen& window) {
    std::vector<C> on;
    for (C c : kAll)
      if (window.Action(c)->isEnabled()) on.push_back(c);
    return on;
  }
  static QMenu* MenuTitled(TMainScreen& window, const QString& title) {
    for (QAction* a : window.menuBar()->actions())
      if (a->text() == title) return a->menu();
    return nullptr;
  }
  testing::TempDir dir_;
};

TEST_F(CommandTableTest, MenusButtonsShortcutsAndHintsStandWhereTheyDid) {
  TMainScreen window;
  std::map<QString, std::vector<QString>> menus;
  std::vector<QString> titles;
  for (QAction* title : window.menuBar()->actions()) {
    titles.push_back(title->text());
    for (QAction* a : title->menu()->actions()) {
      QString entry = a->isSeparator() ? QStringLiteral("-") : a->text();
      if (!a->shortcut().isEmpty()) entry += QLatin1Char('\t') + a->shortcut().toString();
      if (a->isCheckable()) entry += QStringLiteral(" [check]");
      menus[title->text()].push_back(entry);
    }
  }
  EXPECT_EQ(titles, (std::vector<QString>{"&File", "F&ax", "&Tools", "&Help"}));
  EXPECT_EQ(menus["&File"],
            (std::vector<QString>{"&New Cover Sheet\tCtrl+N", "Add C&over Sheet\tCtrl+O", "&Edit\tCtrl+E",
                                  "&Clone\tCtrl+C", "For&ward Received Fax", "&Delete\tCtrl+D",
                                  "&Archive\tCtrl+A", "&View/Print Fax\tCtrl+V", "-",
                                  "S&how Archived Faxes [check]", "-", "E&xit\tCtrl+X"}));
  EXPECT_EQ(menus["F&ax"],
            (std::vector<QString>{"&Send Fax\tCtrl+S", "&Receive Fax\tCtrl+R", "-", "&Modem Reset"}));
  EXPECT_EQ(menus["&Tools"], (std::vector<QString>{"&Phone Book", "Rebuild &Indexes", "P&references"}));
  EXPECT_EQ(menus["&Help"], (std::vector<QString>{"----Start Here----", "&Contents", "&Troubleshooting Tips",
                                                  "&Show Hints [check]", "-", "&About"}));

  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.SelectTab(TListTab::ltReceived);  // Forward shows, Clone hides: both are laid out
  window.SetButtons();
  std::vector<QPushButton*> bar;
  for (C c : kAll)
    if (window.Button(c) != nullptr) bar.push_back(window.Button(c));
  std::sort(bar.begin(), bar.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
  std::vector<QString> buttons;
  for (QPushButton* b : bar)
    if (b->isVisible()) buttons.push_back(b->text());
  EXPECT_EQ(buttons, (std::vector<QString>{"&New", "Add C&over", "&Edit", "For&ward", "&Delete", "&Archive",
                                           "&Send", "&Receive", "&View", "Sor&t", "E&xit"}));
  // The forward button stands where the clone button stands on the other tab.
  const int forwardX = window.Button(C::cmForward)->x();
  window.SelectTab(TListTab::ltOutgoing);
  window.SetButtons();
  QApplication::processEvents();
  EXPECT_TRUE(window.Button(C::cmForward)->isHidden());
  EXPECT_EQ(window.Button(C::cmClone)->x(), forwardX);

  // Hints are on by default: every control shows its command's hint.
  const std::map<C, QString> hints = {
      {C::cmNew, "Create a new cover sheet or quick fax [CTRL+N]"},
      {C::cmAddCover, "Add a cover sheet to this fax [CTRL+O]"},
      {C::cmEdit, "Edit the information of this fax [CTRL+E]"},
      {C::cmClone, "Make a copy of this fax [CTRL+C]"},
      {C::cmDelete, "Delete this fax [CTRL+D]"},
      {C::cmArchive,
       "Archive this fax [CTRL+A]\n(This makes the fax invisible, but does not\ndelete it. You can view "
       "archived faxes by\ntoggling the File..Show Archived Faxes menu)"},
      {C::cmForward, "Forward this received fax to be sent"},
      {C::cmSend, "Send this fax [CTRL+S]"},
      {C::cmReceive, "Wait for and receive faxes [CTRL+R]"},
      {C::cmView, "View or print this fax [CTRL+V]"},
      {C::cmSort, "Sort the list"},
      {C::cmModemReset, "Reset the modem"},
      {C::cmPhoneBook, "Edit the phone book"},
      {C::cmRebuild, "Do this every 2 weeks "},
      {C::cmPreferences, "Your name, numbers, modem and dialing settings"},
      {C::cmExit, "Close Quillet [CTRL+X]"}};
  for (C c : kAll) {
    const auto it = hints.find(c);
    const QString hint = it == hints.end() ? QString() : it->second;
    if (!hint.isEmpty()) {
      EXPECT_EQ(window.Action(c)->toolTip(), hint) << static_cast<int>(c);
    }
    if (window.Button(c) != nullptr) {
      EXPECT_EQ(window.Button(c)->toolTip(), hint) << static_cast<int>(c);
    }
  }
  window.Action(C::cmHints)->trigger();  // hints off
  EXPECT_TRUE(window.Button(C::cmEdit)->toolTip().isEmpty());
  EXPECT_FALSE(IniFile(dir_ / "QL.INI").ReadBool("Hints", "On", true));
}

TEST_F(CommandTableTest, EnablingFollowsTheShownListItsRowAndReceiveMode) {
  AddRows(true, true);
  TMainScreen window;
  std::map<C, int> runs;
  const std::vector<C> always = {C::cmShowArchived, C::cmSort,     C::cmPhoneBook,
                                 C::cmExit,         C::cmContents, C::cmTroubleshooting,
                                 C::cmAbout,        C::cmHints,    C::cmQuickStart};
  const auto expect = [&](std::vector<C> on, const char* what) {
    on.insert(on.end(), always.begin(), always.end());
    std::sort(on.begin(), on.end());
    std::vector<C> enabled = Enabled(window);
    std::sort(enabled.begin(), enabled.end());
    EXPECT_EQ(enabled, on) << what;
    for (C c : kAll)
      if (window.Button(c) != nullptr) {
        EXPECT_EQ(window.Button(c)->isEnabled(), window.Action(c)->isEnabled())
            << what << " " << static_cast<int>(c);
      }
  };

  // Nothing attached yet: the commands of other parts wait for them (New, Add Cover and
  // View are the window's own).
  SelectSubject(window, "Minutes");
  expect({C::cmNew, C::cmAddCover, C::cmEdit, C::cmClone, C::cmDelete, C::cmArchive, C::cmView, C::cmRebuild,
          C::cmPreferences},
         "unattached");

  AttachAll(window, runs);
  SelectSubject(window, "Minutes");
  expect({C::cmNew, C::cmAddCover, C::cmEdit, C::cmClone, C::cmDelete, C::cmArchive, C::cmSend, C::cmReceive,
          C::cmView, C::cmModemReset, C::cmRebuild, C::cmPreferences},
         "outgoing row without cover");
  EXPECT_TRUE(window.Action(C::cmClone)->isVisible());
  EXPECT_FALSE(window.Action(C::cmForward)->isVisible());
  EXPECT_TRUE(window.Button(C::cmForward)->isHidden());

  SelectSubject(window, "Budget");
  expect({C::cmNew, C::cmEdit, C::cmClone, C::cmDelete, C::cmArchive, C::cmSend, C::cmReceive, C::cmView,
          C::cmModemReset, C::cmRebuild, C::cmPreferences},
         "outgoing row with cover");

  window.SetReceiveMode(true);
  expect({C::cmNew, C::cmEdit, C::cmClone, C::cmDelete, C::cmArchive, C::cmReceive, C::cmView},
         "receive mode");
  EXPECT_FALSE(MenuTitled(window, "&File")->isEnabled());
  EXPECT_TRUE(MenuTitled(window, "F&ax")->isEnabled());

  window.SelectTab(TListTab::ltReceived);
  window.SetButtons();
  expect({C::cmEdit, C::cmForward, C::cmDelete, C::cmArchive, C::cmReceive, C::cmView},
         "received, receive mode");
  window.SetReceiveMode(false);
  EXPECT_TRUE(MenuTitled(window, "&File")->isEnabled());
  expect({C::cmEdit, C::cmForward, C::cmDelete, C::cmArchive, C::cmReceive, C::cmView, C::cmModemReset,
          C::cmRebuild, C::cmPreferences},
         "received row");
  EXPECT_FALSE(window.Action(C::cmClone)->isVisible());
  EXPECT_TRUE(window.Button(C::cmClone)->isHidden());
  EXPECT_TRUE(window.Action(C::cmForward)->isVisible());
  EXPECT_TRUE(window.OutView()->isEnabled());
  EXPECT_TRUE(window.RecView()->isEnabled());
}

TEST_F(CommandTableTest, AnEmptyReceivedListKeepsForwardInPlaceButDisabled) {
  AddRows(true, false);
  TMainScreen window;
  std::map<C, int> runs;
  AttachAll(window, runs);
  window.SelectTab(TListTab::ltReceived);
  window.SetButtons();
  EXPECT_TRUE(window.Action(C::cmForward)->isVisible());
  for (C c : {C::cmForward, C::cmEdit, C::cmDelete, C::cmArchive, C::cmView, C::cmNew, C::cmSend})
    EXPECT_FALSE(window.Action(c)->isEnabled()) << static_cast<int>(c);
  EXPECT_TRUE(window.Action(C::cmReceive)->isEnabled());
  EXPECT_FALSE(window.RecView()->isEnabled());
  EXPECT_TRUE(window.OutView()->isEnabled());
  EXPECT_EQ(window.RecTable().IndexOrd(), 0);  // empty list: record order
  const int beeps = BeepCount();
  window.DeleteCurrent();
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST_F(CommandTableTest, EveryButtonMenuItemAndShortcutRunsItsOwnCommand) {
  AddRows(true, true);
  TMainScreen window;
  std::map<C, int> runs;
  AttachAll(window, runs);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  SelectSubject(window, "Minutes");
  const std::map<C, Qt::Key> keys = {{C::cmNew, Qt::Key_N},
                                     {C::cmAddCover, Qt::Key_O},
                                     {C::cmSend, Qt::Key_S},
                                     {C::cmReceive, Qt::Key_R},
                                     {C::cmView, Qt::Key_V}};
  for (C c : kAttachable) {
    int expected = 0;
    if (window.Button(c) != nullptr) {
      window.Button(c)->click();
      EXPECT_EQ(runs[c], ++expected) << "button " << static_cast<int>(c);
    }
    window.Action(c)->trigger();
    EXPECT_EQ(runs[c], ++expected) << "menu " << static_cast<int>(c);
    if (keys.count(c) != 0) {
      QTest::keyClick(&window, keys.at(c), Qt::ControlModifier);
      EXPECT_EQ(runs[c], ++expected) << "shortcut " << static_cast<int>(c);
    }
  }

  // The window's own commands, each opening its window; the user closes it again.
  testing::ModalAnswerer answers;
  // Questions are answered No, other windows closed unchanged.
  const auto closeIt = [](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      QAbstractButton* no = box->button(QMessageBox::No);
      (no != nullptr ? no : box->button(QMessageBox::Ok))->click();
    } else {
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    }
  };
  const auto opens = [&](const std::function<void()>& act, const QString& caption) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const size_t before = answers.Seen().size();
    answers.Then(closeIt);
    act();
    ASSERT_EQ(answers.Seen().size(), before + 1) << caption.toStdString();
    EXPECT_EQ(answers.Seen().back().caption, caption);
  };
  opens([&] { QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier); }, "Fax Information Editor");
  opens(
      [&] {
        const QPoint row = window.OutView()->visualRect(window.OutView()->currentIndex()).center();
        QTest::mouseClick(window.OutView()->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(window.OutView()->viewport(), Qt::LeftButton, {}, row);
      },
      "Fax Information Editor");
  opens([&] { QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier); }, "Delete");
  opens([&] { window.Action(C::cmPhoneBook)->trigger(); }, "Phone Book Browser");
  opens([&] { window.Action(C::cmRebuild)->trigger(); }, "Rebuild Indexes");
  opens([&] { window.Action(C::cmPreferences)->trigger(); }, "Preferences");
  opens([&] { window.Action(C::cmQuickStart)->trigger(); }, "Quick Start");
  opens([&] { window.Action(C::cmAbout)->trigger(); }, "About Quillet");
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
  ASSERT_EQ(window.CurrentTab(), TListTab::ltReceived);
  opens([&] { QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier); }, "Received Fax Notes");
  opens([&] { window.Button(C::cmForward)->click(); }, "Forward");
  opens([&] { QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier); }, "Archive");
  EXPECT_EQ(window.RecModel()->rowCount(), 1);  // every question was answered No

  // Sort pops up the shown list's own menu below the button.
  window.Button(C::cmSort)->click();
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(popup, nullptr);
  std::vector<QString> entries;
  for (QAction* a : popup->actions()) entries.push_back(a->text());
  EXPECT_EQ(entries, (std::vector<QString>{"Date Received", "From"}));
  popup->close();

  // Help opens its pages in the help window.
  for (const auto& [c, page] :
       std::map<C, QString>{{C::cmContents, "1009"}, {C::cmTroubleshooting, "1032"}}) {
    window.Action(c)->trigger();
    QTextBrowser* browser = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == "Quillet Help") browser = w->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->source().toString().contains(page)) << browser->source().toString().toStdString();
  }

  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(CommandTableTest, ReceivedListCommandsBeepWhileAFaxComesIn) {
  AddRows(true, true);
  TMainScreen window;
  window.SetFaxInProgress(true);
  window.SelectTab(TListTab::ltReceived);
  window.SetButtons();
  testing::ModalAnswerer answers;
  QAction* byFrom = nullptr;
  for (QMenu* m : window.findChildren<QMenu*>())
    for (QAction* a : m->actions())
      if (a->text() == "From") byFrom = a;
  ASSERT_NE(byFrom, nullptr);
  const int beeps = BeepCount();
  for (C c : {C::cmEdit, C::cmDelete, C::cmArchive, C::cmForward}) window.Action(c)->trigger();
  byFrom->trigger();
  EXPECT_EQ(BeepCount(), beeps + 5);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_EQ(window.RecTable().TagName(window.RecTable().IndexOrd()), "DATETIME");

  // The outgoing list is not held up by an incoming fax.
  window.SelectTab(TListTab::ltOutgoing);
  window.SetButtons();
  answers.ThenPress(QMessageBox::No);
  window.Action(C::cmArchive)->trigger();
  ASSERT_EQ(answers.Seen().size(), 1U);
  EXPECT_EQ(answers.Seen()[0].caption, "Archive");
  EXPECT_EQ(BeepCount(), beeps + 5);
}

}  // namespace
}  // namespace ql
