// Controls made from a command table of the test's own, with the places the fax desk's
// table does not use yet (context menu, a shortcut without a menu item, a command that
// waits for its part).

#include "app/main_window/command_controls.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include "app/ui/testing/application.h"

namespace ql {
namespace {

using C = TCommand;

void Nothing(TMainScreen&) {}
bool HasRow(const TListState& s) {
  return s.hasRow;
}
bool Outgoing(const TListState& s) {
  return s.tab == TListTab::ltOutgoing;
}
bool NotReceiving(const TListState& s) {
  return !s.receiveMode;
}

const std::vector<TCommandEntry> kTable = {
    {.command = C::cmNew,
     .menu = TMenuId::mnFile,
     .menuText = "&One",
     .buttonText = "One",
     .shortcut = "Ctrl+1",
     .hint = "first\rline",
     .inContextMenu = true,
     .run = Nothing},
    {.command = C::cmEdit,
     .menu = TMenuId::mnFile,
     .group = 1,
     .menuText = "&Two",
     .activatesRow = true,
     .enabled = HasRow,
     .visible = Outgoing,
     .run = Nothing},
    // No menu item, no button; carried out by a part that attaches it.
    {.command = C::cmSend, .menuText = "Three", .shortcut = "Ctrl+3", .inContextMenu = true},
};
const std::vector<TMenuEntry> kMenus = {{TMenuId::mnFile, "&File"}, {TMenuId::mnFax, "F&ax", NotReceiving}};

class CommandControlsTest : public ::testing::Test {
 protected:
  CommandControlsTest() : controls_(window_, kTable, kMenus, [this](C c) { ran_.push_back(c); }) {
    auto* central = new QWidget(&window_);
    auto* layout = new QVBoxLayout(central);
    auto* bar = new QHBoxLayout;
    controls_.AddButtons(*bar, central);
    layout->addLayout(bar);
    view_ = new QTableView(central);
    model_.setRowCount(3);
    model_.setColumnCount(1);
    view_->setModel(&model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(view_);
    window_.setCentralWidget(central);
    controls_.OfferContextMenu(*view_);
  }
  void Update(TListTab tab, bool hasRow, bool receiveMode, bool sendAttached) {
    TListState s;
    s.tab = tab;
    s.hasRow = hasRow;
    s.receiveMode = receiveMode;
    controls_.Update(s, [sendAttached](C c) { return c == C::cmSend && sendAttached; });
  }

  bool application_ = (testing::EnsureApplication(), true);  // before any widget
  QMainWindow window_;
  std::vector<C> ran_;
  TCommandControls controls_;
  QStandardItemModel model_;
  QTableView* view_ = nullptr;
};

TEST_F(CommandControlsTest, EachPlaceOfAnEntryRunsItsCommand) {
  std::vector<QString> file;
  for (QAction* a : controls_.Menu(TMenuId::mnFile)->actions())
    file.push_back(a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(file, (std::vector<QString>{"&One", "-", "&Two"}));
  EXPECT_TRUE(controls_.Menu(TMenuId::mnFax)->actions().isEmpty());
  ASSERT_NE(controls_.Button(C::cmNew), nullptr);
  EXPECT_EQ(controls_.Button(C::cmNew)->text(), "One");
  EXPECT_EQ(controls_.Button(C::cmEdit), nullptr);
  EXPECT_EQ(controls_.Action(C::cmAbout), nullptr);  // not in the table
  EXPECT_EQ(controls_.RowCommand(), C::cmEdit);

  Update(TListTab::ltOutgoing, true, false, true);
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  controls_.Button(C::cmNew)->click();
  controls_.Action(C::cmEdit)->trigger();
  QTest::keyClick(&window_, Qt::Key_1, Qt::ControlModifier);
  QTest::keyClick(&window_, Qt::Key_3, Qt::ControlModifier);  // a shortcut with no menu item
  EXPECT_EQ(ran_, (std::vector<C>{C::cmNew, C::cmEdit, C::cmNew, C::cmSend}));

  // A right-click makes the row under the pointer current and offers the context entries.
  const QPoint third = view_->visualRect(model_.index(2, 0)).center();
  QContextMenuEvent click(QContextMenuEvent::Mouse, third, view_->viewport()->mapToGlobal(third));
  QApplication::sendEvent(view_->viewport(), &click);
  EXPECT_EQ(view_->currentIndex().row(), 2);
  auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(popup, nullptr);
  std::vector<QString> offered;
  for (QAction* a : popup->actions()) offered.push_back(a->text());
  EXPECT_EQ(offered, (std::vector<QString>{"&One", "Three"}));
  popup->actions().at(1)->trigger();
  popup->close();
  EXPECT_EQ(ran_.back(), C::cmSend);
}

TEST_F(CommandControlsTest, RulesAndAttachmentDecideEnablingAndVisibility) {
  Update(TListTab::ltOutgoing, false, false, false);
  EXPECT_TRUE(controls_.Action(C::cmNew)->isEnabled());
  EXPECT_TRUE(controls_.Button(C::cmNew)->isEnabled());
  EXPECT_FALSE(controls_.Action(C::cmEdit)->isEnabled());
  EXPECT_FALSE(controls_.Action(C::cmSend)->isEnabled());  // its part is not attached

  Update(TListTab::ltOutgoing, true, false, true);
  EXPECT_TRUE(controls_.Action(C::cmEdit)->isEnabled());
  EXPECT_TRUE(controls_.Action(C::cmEdit)->isVisible());
  EXPECT_TRUE(controls_.Action(C::cmSend)->isEnabled());
  EXPECT_TRUE(controls_.Menu(TMenuId::mnFax)->isEnabled());

  Update(TListTab::ltReceived, true, true, false);
  EXPECT_FALSE(controls_.Action(C::cmEdit)->isVisible());
  EXPECT_TRUE(controls_.Action(C::cmNew)->isVisible());
  EXPECT_FALSE(controls_.Action(C::cmSend)->isEnabled());
  EXPECT_FALSE(controls_.Menu(TMenuId::mnFax)->isEnabled());
  EXPECT_TRUE(controls_.Menu(TMenuId::mnFile)->isEnabled());
}

TEST_F(CommandControlsTest, CaptionsAndHintsReachEveryControlOfTheCommand) {
  controls_.ApplyHints(true);
  EXPECT_EQ(controls_.Button(C::cmNew)->toolTip(), "first\nline");
  EXPECT_EQ(controls_.Action(C::cmNew)->toolTip(), "first\nline");
  controls_.SetCaption(C::cmNew, "&Other", "other hint");
  controls_.ApplyHints(true);
  EXPECT_EQ(controls_.Button(C::cmNew)->text(), "&Other");
  EXPECT_EQ(controls_.Action(C::cmNew)->text(), "&Other");
  EXPECT_EQ(controls_.Button(C::cmNew)->toolTip(), "other hint");
  controls_.ResetCaption(C::cmNew);
  controls_.ApplyHints(false);
  EXPECT_EQ(controls_.Button(C::cmNew)->text(), "One");
  EXPECT_EQ(controls_.Action(C::cmNew)->text(), "&One");
  EXPECT_TRUE(controls_.Button(C::cmNew)->toolTip().isEmpty());
  controls_.ApplyHints(true);
  EXPECT_EQ(controls_.Button(C::cmNew)->toolTip(), "first\nline");
}

}  // namespace
}  // namespace ql
