#include "app/rebuild/rebuild_indexes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/fax_store/fax_store.h"

namespace ql {

bool IsGaugeKey(int key) { return (key & 0x7000) != 0; }

int GaugePercentOfKey(int key) { return static_cast<uint16_t>(-static_cast<uint16_t>(key)); }

TRebuildInd::TRebuildInd(QWidget* parent, xb::TTableEngine& out, xb::TTableEngine& rec)
    : QDialog(parent), out_(out), rec_(rec) {
  setWindowTitle(QStringLiteral("Rebuild Indexes"));
  setObjectName(QStringLiteral("TRebuildInd"));
  auto* layout = new QVBoxLayout(this);
  status_ = new QLabel(this);
  status_->setMinimumWidth(360);
  gauge_ = new QProgressBar(this);
  gauge_->setRange(0, 100);
  gauge_->setFormat(QStringLiteral("%p%"));
  layout->addWidget(status_);
  layout->addWidget(gauge_);
}

int TRebuildInd::Progress() const { return gauge_->value(); }

void TRebuildInd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  // Work once the window is up, then close (the window's own close message).
  QTimer::singleShot(0, this, [this] {
    RebuildAll();
    QMetaObject::invokeMethod(this, &QDialog::accept, Qt::QueuedConnection);
  });
}

void TRebuildInd::keyPressEvent(QKeyEvent* event) {
  // The engine reports progress as key presses whose code has one of bits 12-14 set.
  if (IsGaugeKey(event->key())) {
    gauge_->setValue(GaugePercentOfKey(event->key()));
    QApplication::processEvents();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TRebuildInd::RebuildOne(xb::TTableEngine& table, const std::vector<xb::TagDefinition>& tags,
                             const QString& name) {
  xb::Env().SetGaugeHook([this](int percent) {
    QKeyEvent report(QEvent::KeyPress, xb::GaugeKeyForPercent(percent), Qt::NoModifier);
    QApplication::sendEvent(this, &report);
  });
  RebuildTable(table, tags, [this, &name](RebuildStep step) {
    gauge_->setValue(0);
    status_->setText(step == RebuildStep::Packing
                         ? QStringLiteral("Removing %1 file records marked for deletion").arg(name)
                         : QStringLiteral("Rebuilding %1 file indexes").arg(name));
    QApplication::processEvents();
  });
  xb::Env().SetGaugeHook({});
}

bool TRebuildInd::RebuildAll() {
  RebuildOne(out_, OutgoingTags(), QStringLiteral("FAX"));
  RebuildOne(rec_, ReceivedTags(), QStringLiteral("RECEIVE"));
  xb::TTableEngine book;
  if (!OpenPhoneDBF(book, true)) return false;  // the picker has it: skipped silently
  RebuildOne(book, PhoneTags(), QStringLiteral("PHONE"));
  book.SetOrder(book.TagArea("NAME"));
  book.Close();
  return true;
}

}  // namespace ql
