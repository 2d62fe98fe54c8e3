#include "tools/ql-print/driver_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/message_boxes.h"
#include "picker/driver_handover.h"
#include "platform/data_folder.h"
#include "platform/help/help.h"

namespace ql::print {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TDriverDialog::TDriverDialog(const FaxDescriptor& prefilled, bool openDesk, QWidget* parent)
    : TFormDialog(parent, QString::fromLatin1(kDriverDialogTitle)) {
  setObjectName(QStringLiteral("TDriverDialog"));
  AcceptButton()->setText(QStringLiteral("&Fax It"));
  // The field lengths of the outgoing list.
  number_ = AddField(QStringLiteral("Fax &Number"), 25, QStringLiteral("number"));
  recipient_ = AddField(QStringLiteral("&Recipient"), 35, QStringLiteral("recipient"));
  subject_ = AddField(QStringLiteral("&Subject"), 50, QStringLiteral("subject"));
  number_->setText(Q(prefilled.number));
  recipient_->setText(Q(prefilled.recipient));
  subject_->setText(Q(prefilled.subject));

  auto* column = static_cast<QVBoxLayout*>(layout());
  openDesk_ = new QCheckBox(QStringLiteral("&Open the fax desk when done"), this);
  openDesk_->setChecked(openDesk);
  status_ = new QLabel(QStringLiteral("Preparing the fax..."), this);
  status_->setObjectName(QStringLiteral("status"));
  column->insertWidget(1, openDesk_);
  column->insertWidget(2, status_);

  QPushButton* phoneBook = AddButton(QStringLiteral("&Phone Book"));
  connect(phoneBook, &QPushButton::clicked, this, &TDriverDialog::StartPhoneBook);
  connect(AddButton(QStringLiteral("&Help")), &QPushButton::clicked, this, [] { ShowHelp(kHelpPrinterDriver); });

  listener_ = std::make_unique<TDriverDialogListener>(
      this, QMap<int, QLineEdit*>{{kDriverPhoneControl, number_}, {kDriverNameControl, recipient_},
                                  {kDriverSubjectControl, subject_}});
  listening_ = listener_->Listen();
  if (!listening_) {
    phoneBook->setEnabled(false);
    phoneBook->setToolTip(QStringLiteral("Another Quillet Printer Driver dialog is open; finish it first"));
  }
}

TDriverDialog::~TDriverDialog() = default;

FaxDescriptor TDriverDialog::Values() const {
  return {number_->text().trimmed().toStdString(), recipient_->text().trimmed().toStdString(),
          subject_->text().trimmed().toStdString()};
}

bool TDriverDialog::OpenDesk() const { return openDesk_->isChecked(); }

void TDriverDialog::ShowProgress(int pagesDone) {
  status_->setText(pagesDone == 1 ? QStringLiteral("Preparing the fax: 1 page done")
                                  : QStringLiteral("Preparing the fax: %1 pages done").arg(pagesDone));
}

void TDriverDialog::SetReady(int pages) {
  ready_ = true;
  status_->setText(pages == 1 ? QStringLiteral("The fax is ready: 1 page")
                              : QStringLiteral("The fax is ready: %1 pages").arg(pages));
  if (acceptWhenReady_) QDialog::accept();
}

void TDriverDialog::accept() {
  if (number_->text().trimmed().isEmpty()) {
    ShowInfo(QStringLiteral("Please enter the fax number"));
    number_->setFocus();
    return;
  }
  if (!ready_) {
    // Closed as soon as the last page is done.
    acceptWhenReady_ = true;
    AcceptButton()->setEnabled(false);
    return;
  }
  QDialog::accept();
}

void TDriverDialog::reject() {
  cancelled_ = true;
  QDialog::reject();
}

void TDriverDialog::StartPhoneBook() {
  // The picker shares the data folder, so it lists the desk's phone book.
  const QString picker = QString::fromStdString((ExecutableFolder() / "qlpick").string());
  const QString home = QString::fromStdString(DataFolder().string());
  if (!QProcess::startDetached(picker, {QStringLiteral("--home"), home}))
    ShowError(QStringLiteral("Unable to start the phone book (%1)").arg(picker));
}

}  // namespace ql::print
