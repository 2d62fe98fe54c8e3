// The enabling rules and the questions of the fax list commands.

#include <gtest/gtest.h>

#include "app/main_window/button_rules.h"
#include "app/main_window/command_texts.h"

namespace ql {
namespace {

TEST(ButtonRules, OutgoingTabFollowsRowsCoverAndReceiveMode) {
  TListState s;
  s.tab = TListTab::ltOutgoing;
  TButtonStates b = ButtonStates(s);  // empty list
  EXPECT_TRUE(b.sort);
  EXPECT_TRUE(b.newCover);
  EXPECT_TRUE(b.cloneVisible);
  EXPECT_FALSE(b.forwardVisible);
  EXPECT_FALSE(b.clone || b.edit || b.del || b.archive || b.view || b.send || b.addCover);

  s.hasRow = true;
  s.coverEmpty = true;
  b = ButtonStates(s);
  EXPECT_TRUE(b.clone && b.edit && b.del && b.archive && b.view && b.send && b.addCover);

  s.coverEmpty = false;
  EXPECT_FALSE(ButtonStates(s).addCover);

  s.coverEmpty = true;
  s.receiveMode = true;
  b = ButtonStates(s);
  EXPECT_FALSE(b.send);
  EXPECT_FALSE(b.addCover);
  EXPECT_FALSE(b.fileMenu || b.rebuild || b.preferences);
  EXPECT_TRUE(b.edit);
}

TEST(ButtonRules, ReceivedTabShowsForwardInsteadOfClone) {
  TListState s;
  s.tab = TListTab::ltReceived;
  s.hasRow = true;
  s.coverEmpty = true;
  const TButtonStates b = ButtonStates(s);
  EXPECT_FALSE(b.cloneVisible || b.clone);
  EXPECT_TRUE(b.forwardVisible && b.forward);
  EXPECT_FALSE(b.send || b.newCover || b.addCover);
  EXPECT_TRUE(b.edit && b.del && b.archive && b.view);
}

TEST(CommandTexts, ArchiveQuestionNamesTheRow) {
  EXPECT_EQ(ArchiveQuestion(false, true, "Budget"), "Archive the current fax?\r(subject: Budget)");
  EXPECT_EQ(ArchiveQuestion(true, true, ""), "UnArchive the current fax?\r(no subject)");
  EXPECT_EQ(ArchiveQuestion(false, false, "+1 555"), "Archive the current fax?\r(from: +1 555)");
  EXPECT_EQ(ArchiveQuestion(false, false, ""), "Archive the current fax?\r");
}

TEST(CommandTexts, QuestionsQuoteTheirNames) {
  EXPECT_EQ(CloneQuestion("Budget"), "Clone the current fax?\r\n(subject: \"Budget\")");
  EXPECT_EQ(DeleteOutgoingQuestion(""), "Delete the current fax?\r\n(subject: \"\")");
  EXPECT_EQ(DeleteReceivedQuestion("Bob"), "Delete the current fax?\r\n(from: \"Bob\")");
  EXPECT_EQ(ForwardQuestion("Bob"), "Forward the current fax to be sent?\r\n(from: Bob)");
}

}  // namespace
}  // namespace ql
