#include "app/ui/window_glue.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>

#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class WindowGlue : public ::testing::Test {
 protected:
  WindowGlue() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
  }
  testing::TempDir dir_;
};

TEST_F(WindowGlue, DialogIsCentredOverTheMainWindow) {
  QMainWindow main;
  main.setGeometry(100, 100, 600, 400);
  main.show();
  SetMainWindow(&main);
  QDialog dialog;
  dialog.resize(200, 100);
  CenterOverMain(&dialog);
  const QRect outer = main.frameGeometry();
  EXPECT_EQ(dialog.pos().x(), outer.left() + (outer.width() - 200) / 2);
  EXPECT_EQ(dialog.pos().y(), outer.top() + (outer.height() - 100) / 2);
  SetMainWindow(nullptr);
}

TEST_F(WindowGlue, MainScreenIsCentredOnTheScreen) {
  QMainWindow main;
  main.resize(300, 200);
  CenterOverMain(&main, "TMainScreen");
  const QRect screen = main.screen()->geometry();
  EXPECT_EQ(main.pos().x(), screen.left() + (screen.width() - 300) / 2);
}

TEST_F(WindowGlue, PlacementIsSavedAndRestoredAndShiftedIntoTheScreen) {
  QMainWindow main;
  main.setGeometry(40, 50, 300, 200);
  main.show();
  SavePlacement(&main, "TMainScreen");
  IniFile ini(SettingsFile());
  const std::string section = "TMainScreen_Placement";
  EXPECT_EQ(ini.ReadInteger(section, "Right", 0) - ini.ReadInteger(section, "Left", 0), 300);
  EXPECT_FALSE(ini.ReadBool(section, "Maximized", true));

  // A rectangle beyond the right edge comes back moved left with its width kept.
  const int screenWidth = main.screen()->geometry().width();
  ini.WriteInteger(section, "Left", screenWidth - 100);
  ini.WriteInteger(section, "Right", screenWidth + 200);
  ASSERT_TRUE(ini.Save());
  QMainWindow again;
  LoadPlacement(&again, "TMainScreen");
  EXPECT_EQ(again.geometry().width(), 300);
  EXPECT_EQ(again.geometry().left() + again.geometry().width(), screenWidth);
}

TEST_F(WindowGlue, QuestionsDefaultAsTheirNamesSay) {
  testing::ModalAnswerer answers;
  bool yesDefault = false;
  bool noDefault = false;
  // Enter presses the default button.
  const auto pressDefault = [](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    box->defaultButton()->click();
  };
  answers.Then(pressDefault).Then(pressDefault);
  yesDefault = AskYesNo("Sure?", "Ask");
  noDefault = AskYesNoDefaultNo("Delete the current fax?\r\n(subject: \"x\")", "Delete");
  EXPECT_TRUE(yesDefault);
  EXPECT_FALSE(noDefault);
  ASSERT_EQ(answers.Seen().size(), 2U);
  EXPECT_EQ(answers.Seen()[1].caption, "Delete");
  EXPECT_EQ(answers.Seen()[1].text, "Delete the current fax?\n(subject: \"x\")");
}

TEST_F(WindowGlue, InfoBoxHasItsCaption) {
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Ok);
  ShowInfo("Line one\rLine two");
  ASSERT_EQ(answers.Seen().size(), 1U);
  EXPECT_EQ(answers.Seen()[0].caption, "Information");
  EXPECT_EQ(answers.Seen()[0].text, "Line one\nLine two");
}

}  // namespace
}  // namespace ql
