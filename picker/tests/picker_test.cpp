#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QPushButton>

#include "app/fax_store/fax_store.h"
#include "app/lists/table_list_model.h"
#include "app/ui/testing/modal_answerer.h"
#include "picker/driver_handover.h"
#include "picker/picker_window.h"
#include "platform/data_folder.h"
#include "app/ui/testing/application.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class PickerTest : public ::testing::Test {
 protected:
  PickerTest() {
    testing::EnsureApplication();
    SetDataFolder(dir_.path());
    StartTableSession();
    // A socket of this test alone, so tests running side by side do not meet.
    qputenv("QUILLET_DRIVER_SOCKET", QByteArray::fromStdString("qlpick-test-" + dir_.path().filename().string()));
  }
  void AddEntry(const std::string& name, const std::string& phone) {
    xb::TTableEngine book;
    ASSERT_TRUE(OpenPhoneDBF(book));
    ASSERT_EQ(AppendPhoneEntry(book, PhoneEntry{name, phone}), 0);
  }
  testing::TempDir dir_;
};

TEST_F(PickerTest, AcceptFillsTheDriverDialogRestoresItAndEndsThePicker) {
  AddEntry("Alice Brown", "555-0100");
  QProcess dialog;
  // The stub is built beside this test program.
  const auto here = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  dialog.start(QString::fromStdString((here / "driver_dialog_stub").string()), {});
  ASSERT_TRUE(dialog.waitForReadyRead(10000));
  ASSERT_EQ(dialog.readLine().trimmed(), "listening");

  std::unique_ptr<TPhoneBook> picker = MakePickerWindow();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->windowTitle(), "Quillet Printer Driver - Select Phone Number ");
  picker->AcceptEntry();
  EXPECT_EQ(picker->result(), QDialog::Accepted);

  ASSERT_TRUE(dialog.waitForFinished(10000));
  const QString report = QString::fromUtf8(dialog.readAllStandardOutput());
  EXPECT_TRUE(report.contains("phone=555-0100\n")) << report.toStdString();
  EXPECT_TRUE(report.contains("name=Alice Brown\n")) << report.toStdString();
  EXPECT_TRUE(report.contains("minimised=0")) << report.toStdString();
}

TEST_F(PickerTest, WithoutADriverDialogThePickerSaysSoAndStays) {
  AddEntry("Alice", "1");
  std::unique_ptr<TPhoneBook> picker = MakePickerWindow();
  ASSERT_NE(picker, nullptr);
  testing::ModalAnswerer answers;
  answers.ThenPress(QMessageBox::Ok);
  picker->AcceptEntry();
  ASSERT_EQ(answers.Seen().size(), 1U);
  EXPECT_EQ(answers.Seen()[0].text, "Unable to locate the Quillet Printer Driver\ndialog box");
  EXPECT_NE(picker->result(), QDialog::Accepted);
  EXPECT_TRUE(testing::ClickButtonByText(picker.get(), "Cancel"));
  EXPECT_EQ(picker->result(), QDialog::Rejected);
}

TEST_F(PickerTest, FirstStartCreatesThePhoneBookAndSharesItWithTheFaxDesk) {
  {
    std::unique_ptr<TPhoneBook> picker = MakePickerWindow();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->Model()->rowCount(), 0);
  }
  EXPECT_TRUE(std::filesystem::exists(dir_ / "QLPB.DBF"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "QLPB.CDX"));
  xb::TTableEngine desk;  // the fax desk's phone book window holds it shared
  ASSERT_TRUE(OpenPhoneDBF(desk));
  ASSERT_EQ(AppendPhoneEntry(desk, PhoneEntry{"Bob", "2"}), 0);
  std::unique_ptr<TPhoneBook> picker = MakePickerWindow();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->Model()->rowCount(), 1);
}

}  // namespace
}  // namespace ql
