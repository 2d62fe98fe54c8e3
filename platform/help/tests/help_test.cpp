#include "platform/help/help.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTextBrowser>

// Fontconfig keeps its caches for the life of the process; not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace ql {
namespace {

TEST(Help, EveryTopicOfTheWindowsHasItsPageAndUnknownTopicsShowTheContents) {
  for (int topic : {kHelpContents, kHelpTroubleshooting, kHelpPhoneBook, kHelpPhoneBookEditor, kHelpPreferences,
                    kHelpCoverEditor, kHelpCoverTemplates}) {
    // Run from the build folder, the pages are its copy of the installed ones; the program
    // carries the same pages for a start without them.
    const QString page = HelpPagePath(topic);
    EXPECT_EQ(page, QStringLiteral(QL_BINARY_DIR "/share/quillet/help/%1.html").arg(topic));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/%1.html").arg(topic))) << topic;
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << topic;
    EXPECT_TRUE(file.readAll().contains("<h1>")) << topic;
  }
  EXPECT_EQ(HelpPagePath(4711), QStringLiteral(QL_BINARY_DIR "/share/quillet/help/1009.html"));
}

TEST(Help, ShowHelpOpensOneWindowOnTheTopic) {
  int argc = 1;
  char name[] = "help_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  ShowHelp(kHelpPhoneBook);
  ShowHelp(kHelpPreferences);
  QList<QTextBrowser*> all;
  for (QWidget* w : QApplication::topLevelWidgets()) all += w->findChildren<QTextBrowser*>();
  ASSERT_EQ(all.size(), 1);
  EXPECT_TRUE(all[0]->source().toString().endsWith("1022.html"));
  EXPECT_TRUE(all[0]->toPlainText().contains("Preferences"));
}

}  // namespace
}  // namespace ql
