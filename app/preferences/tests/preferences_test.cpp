#include "app/preferences/preferences.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/settings/settings.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class PreferencesTest : public ::testing::Test {
 protected:
  PreferencesTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    Settings() = TSettings{};
    LoadSettings();
  }
  template <typename T>
  static T* Field(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  testing::TempDir dir_;
};

TEST_F(PreferencesTest, FirstRunShowsTheInfoOnceThenAcceptWritesEveryKey) {
  TPreferences window(nullptr, true);
  testing::ModalAnswerer answers;
  // The window opens, then its info box over it; once the box is answered the user
  // fills a field and accepts.
  answers.Ignore(&window);
  answers.Then([&window](QWidget* box) {
    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    QTimer::singleShot(0, &window, [&window] {
      Field<QLineEdit>(&window, "name")->setText("Ann Smith");
      Field<QComboBox>(&window, "port")->setCurrentIndex(2);
      testing::ClickButtonByText(&window, "Accept");
    });
  });
  EXPECT_EQ(window.exec(), QDialog::Accepted);
  int infoBoxes = 0;
  for (const auto& seen : answers.Seen())
    if (seen.caption == "Information") ++infoBoxes;
  EXPECT_EQ(infoBoxes, 1);

  IniFile ini(SettingsFile());
  EXPECT_EQ(ini.ReadString("User", "Name", ""), "Ann Smith");
  EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -1), 2);
  for (auto [section, key] : {std::pair{"User", "Fax"}, {"Dialing", "Timeout"}, {"Modem", "MaximumBPS"},
                              {"Resetting", "AfterString"}, {"Receive", "AnswerOnRing"}, {"Hints", "On"}})
    EXPECT_TRUE(ini.Find(section, key).has_value()) << section << " " << key;
}

TEST_F(PreferencesTest, FieldsComeBackIntoTheSettings) {
  Settings().MaximumBPS = 19200;  // not offered: shown as 9600
  Settings().AnswerOnRing = 2;
  TPreferences window;
  EXPECT_EQ(Field<QComboBox>(&window, "transferRate")->currentText(), "9600");
  EXPECT_EQ(Field<QComboBox>(&window, "answerOnRing")->currentText(), "2");
  Field<QComboBox>(&window, "transferRate")->setCurrentText("14400");
  Field<QLineEdit>(&window, "dialAttempts")->setText(" 5 ");
  TSettings taken;
  QString error;
  ASSERT_TRUE(window.TakeFields(taken, error));
  EXPECT_EQ(taken.MaximumBPS, 14400);
  EXPECT_EQ(taken.DialAttempts, 5);
  EXPECT_EQ(taken.AnswerOnRing, 2);
}

TEST_F(PreferencesTest, ACountThatIsNoIntegerStopsAcceptBeforeAnythingIsSaved) {
  TPreferences window;
  Field<QLineEdit>(&window, "name")->setText("Changed");
  Field<QLineEdit>(&window, "retryWait")->setText("abc");
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Ok);
  testing::ClickButtonByText(&window, "Accept");
  ASSERT_EQ(answers.Seen().size(), 1U);
  EXPECT_EQ(answers.Seen()[0].text, "'abc' is not a valid integer value");
  EXPECT_EQ(Settings().Name, "");
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(PreferencesTest, ChooseTakesOnlyWaveFiles) {
  testing::WriteFile(dir_ / "RING.WAV", "RIFF");
  testing::WriteFile(dir_ / "ring.mp3", "ID3");
  TPreferences window;
  auto* wav = Field<QLineEdit>(&window, "wav");
  const auto pick = [](std::filesystem::path file) {
    return [file](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      dialog->setNameFilter("*");
      // As a user types the name into the dialog's file name field.
      auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(nameEdit, nullptr);
      nameEdit->setText(QString::fromStdString(file.string()));
      QMetaObject::invokeMethod(dialog, "accept");
    };
  };
  testing::ModalAnswerer answers;
  answers.Then(pick(dir_ / "RING.WAV"));
  testing::ClickButtonByText(&window, "Choose");
  EXPECT_TRUE(wav->text().endsWith("RING.WAV"));

  answers.Then(pick(dir_ / "ring.mp3"));
  testing::ClickButtonByText(&window, "Choose");
  EXPECT_TRUE(wav->text().endsWith("RING.WAV"));

  testing::ClickButtonByText(&window, "None");
  EXPECT_TRUE(wav->text().isEmpty());
}

}  // namespace
}  // namespace ql
