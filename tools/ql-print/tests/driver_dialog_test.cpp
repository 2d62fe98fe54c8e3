// The "Quillet Printer Driver" dialog: the picker's hand-over fills it and brings it back
// from minimised; accepting waits for the fax to be ready and wants a number.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "picker/driver_handover.h"
#include "tools/ql-print/driver_dialog.h"

namespace ql::print {
namespace {

class DriverDialogTest : public ::testing::Test {
 protected:
  DriverDialogTest() {
    testing::EnsureApplication();
    setenv("QUILLET_DRIVER_SOCKET", ("ql-print-dialog-test-" + std::to_string(::getpid())).c_str(), 1);
  }
  static QLineEdit* Field(QWidget& dialog, const char* name) { return dialog.findChild<QLineEdit*>(name); }
};

TEST_F(DriverDialogTest, ThePickerFillsTheDialogAndRestoresIt) {
  TDriverDialog dialog({"", "", "Quarterly report"}, false);
  ASSERT_TRUE(dialog.Listening());
  EXPECT_EQ(dialog.windowTitle(), "Quillet Printer Driver");
  dialog.showMinimized();
  QApplication::processEvents();

  // The picker's own hand-over, from another thread as from another process.
  std::atomic<bool> done{false};
  THandOverResult result = THandOverResult::hoNoDialog;
  std::thread picker([&] {
    result = HandOverToDriverDialog("555-0100", "Acme\nAccounts");
    done = true;
  });
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 10);
  picker.join();
  for (int i = 0; i < 200 && dialog.isMinimized(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);

  EXPECT_EQ(result, THandOverResult::hoDone);
  EXPECT_FALSE(dialog.isMinimized()) << int(dialog.windowState()) << " handled " << int(result);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(Field(dialog, "number")->text(), "555-0100");
  EXPECT_EQ(Field(dialog, "recipient")->text(), "Acme Accounts");
  EXPECT_EQ(Field(dialog, "subject")->text(), "Quarterly report");  // the picker leaves it alone

  // A second dialog of the same user cannot take the socket; its phone book is off.
  TDriverDialog second({}, false);
  EXPECT_FALSE(second.Listening());
}

TEST_F(DriverDialogTest, AcceptingWantsANumberAndWaitsForTheFax) {
  TDriverDialog dialog({"", "Ann", "Memo"}, true);
  dialog.show();
  testing::ModalAnswerer answers;
  answers.Ignore(&dialog);
  answers.ThenPress(QMessageBox::Ok);
  dialog.accept();  // no number yet
  EXPECT_EQ(answers.Pending(), 0);
  ASSERT_EQ(answers.Seen().size(), 1u);
  EXPECT_EQ(answers.Seen()[0].text, "Please enter the fax number");
  EXPECT_TRUE(dialog.isVisible());

  QTest::keyClicks(Field(dialog, "number"), " 555-0101 ");
  dialog.ShowProgress(2);
  dialog.accept();  // pages still being made: the dialog stays until they are
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.AcceptButton()->isEnabled());
  dialog.SetReady(3);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const FaxDescriptor values = dialog.Values();
  EXPECT_EQ(values.number, "555-0101");
  EXPECT_EQ(values.recipient, "Ann");
  EXPECT_EQ(values.subject, "Memo");
  EXPECT_TRUE(dialog.OpenDesk());
  EXPECT_FALSE(dialog.Cancelled());
}

}  // namespace
}  // namespace ql::print
