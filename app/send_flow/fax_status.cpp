#include "app/send_flow/fax_status.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "fax_engine/components/send_fax.h"

namespace ql {
namespace {

const char* const kLabels[] = {"Phone number:", "Fax file name:", "Cover file name:", "Total pages:",
                               "Dial attempt:", "Remote ID:",     "Connect BPS:",     "Resolution:",
                               "Width:",        "Error control:", "Current page:",    "Page length:",
                               "Bytes transferred:", "Elapsed time:"};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TFaxStatusSnapshot SnapshotOf(const TCustomAbstractFax& fax) {
  TFaxStatusSnapshot s;
  s.remoteId = fax.RemoteID();
  s.bps = fax.SessionBPS();
  s.fine = fax.SessionFine();
  s.wide = fax.SessionWide();
  s.ecm = fax.SessionECM();
  s.progress = fax.FaxProgress();
  s.statusText = TCustomAbstractFax::StatusText(s.progress);
  if (const auto* send = dynamic_cast<const TCustomSendFax*>(&fax)) {
    s.phoneNumber = send->PhoneNumber();
    s.faxFile = send->FaxFile();
    s.coverFile = send->CoverFile();
    s.totalPages = send->TotalPages();
    s.dialAttempt = send->DialAttempt();
    s.currentPage = send->CurrentPage();
    s.pageLength = send->PageLength();
    s.bytes = send->BytesTransferred();
  } else {
    s.receive = true;
  }
  return s;
}

TStandardFaxDisplay::TStandardFaxDisplay(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TStandardFaxDisplay"));
  setWindowTitle(QStringLiteral("Fax Status"));
  setModal(false);
  auto* grid = new QGridLayout(this);
  int row = 0;
  for (const char* label : kLabels) {
    const QString name = QString::fromLatin1(label);
    auto* value = new QLabel(this);
    value->setMinimumWidth(170);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(new QLabel(name, this), row / 2, (row % 2) * 2);
    grid->addWidget(value, row / 2, (row % 2) * 2 + 1);
    values_[name] = value;
    ++row;
  }
  values_[QStringLiteral("Elapsed time:")]->setText(QStringLiteral("00:00"));
  const int next = (row + 1) / 2;
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  QFont bold = status_->font();
  bold.setBold(true);
  status_->setFont(bold);
  grid->addWidget(status_, next, 0, 1, 4);
  barLabel_ = new QLabel(QStringLiteral("Page progress:"), this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  grid->addWidget(barLabel_, next + 1, 0);
  grid->addWidget(bar_, next + 1, 1, 1, 3);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  grid->addWidget(cancel_, next + 2, 3);
  connect(cancel_, &QPushButton::clicked, this, &TStandardFaxDisplay::CancelClicked);
  ticker_.setInterval(250);
  connect(&ticker_, &QTimer::timeout, this, &TStandardFaxDisplay::Tick);
  since_.start();
}

QString TStandardFaxDisplay::Value(const QString& label) const {
  if (label == QStringLiteral("Status:")) return status_->text();
  auto it = values_.find(label);
  return it == values_.end() ? QString() : it->second->text();
}

void TStandardFaxDisplay::ShowValues(const TFaxStatusSnapshot& s, int retryWaitSeconds) {
  const TFaxStatusValues v = FormatFaxStatus(s);
  const std::pair<const char*, const std::string*> shown[] = {
      {"Phone number:", &v.phoneNumber}, {"Fax file name:", &v.faxFile}, {"Cover file name:", &v.coverFile},
      {"Total pages:", &v.totalPages},   {"Dial attempt:", &v.dialAttempt}, {"Remote ID:", &v.remoteId},
      {"Connect BPS:", &v.connectBps},   {"Resolution:", &v.resolution},    {"Width:", &v.width},
      {"Error control:", &v.errorControl}, {"Current page:", &v.currentPage}, {"Page length:", &v.pageLength},
      {"Bytes transferred:", &v.bytes}};
  for (const auto& [label, text] : shown) values_[QString::fromLatin1(label)]->setText(Q(*text));
  bar_->setVisible(!s.receive);
  barLabel_->setText(s.receive ? QStringLiteral("Page progress: N/A") : QStringLiteral("Page progress:"));
  bar_->setValue(v.bar);
  clock_.OnStatus(s.progress, since_.elapsed());
  statusText_ = s.statusText;
  retryWait_ = retryWaitSeconds;
  if (!ticker_.isActive()) ticker_.start();
  Tick();
}

void TStandardFaxDisplay::Tick() {
  const int64_t now = since_.elapsed();
  values_[QStringLiteral("Elapsed time:")]->setText(Q(clock_.Elapsed(now)));
  std::string text = statusText_;
  if (clock_.CountingDown()) text += " " + clock_.Countdown(now, retryWait_);
  status_->setText(Q(text));
}

TFaxStatus::TFaxStatus(QWidget* parent) : parent_(parent) { CreateDisplayNow(); }

TFaxStatus::~TFaxStatus() { DestroyDisplayNow(); }

void TFaxStatus::CreateDisplay() {
  display_ = new TStandardFaxDisplay(parent_);
  QObject::connect(display_, &TStandardFaxDisplay::CancelClicked, display_, [this] {
    if (Fax() != nullptr) Fax()->CancelFax();
  });
}

void TFaxStatus::DestroyDisplay() { delete display_.data(); }

bool TFaxStatus::DisplayVisible() const { return display_ && display_->isVisible(); }

void TFaxStatus::ApplyVisible(bool on) {
  if (display_) display_->setVisible(on);
}

void TFaxStatus::UpdateDisplay(bool first, bool last) {
  if (!display_ || Fax() == nullptr) return;
  const auto* send = dynamic_cast<const TCustomSendFax*>(Fax());
  display_->ShowValues(SnapshotOf(*Fax()), send != nullptr ? send->DialRetryWait() : 0);
  if (first || !display_->isVisible()) SetVisible(true);
  if (last) SetVisible(false);
}

}  // namespace ql
