#include "app/main_window/delete_what.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/ui/window_glue.h"

namespace ql {

TDeleteWhat::TDeleteWhat(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Delete Fax"));
  setObjectName(QStringLiteral("TDeleteWhat"));
  auto* layout = new QVBoxLayout(this);
  cover_ = new QRadioButton(QStringLiteral("Delete Fax Cover"), this);
  body_ = new QRadioButton(QStringLiteral("Delete Fax Body"), this);
  both_ = new QRadioButton(QStringLiteral("Delete Both Fax Cover && Fax Body"), this);
  cover_->setObjectName(QStringLiteral("cover"));
  body_->setObjectName(QStringLiteral("body"));
  both_->setObjectName(QStringLiteral("both"));
  both_->setChecked(true);
  layout->addWidget(cover_);
  layout->addWidget(body_);
  layout->addWidget(both_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

TDeleteChoice TDeleteWhat::Choice() const {
  if (cover_->isChecked()) return TDeleteChoice::dwCover;
  if (body_->isChecked()) return TDeleteChoice::dwBody;
  return TDeleteChoice::dwBoth;
}

std::optional<TDeleteChoice> TDeleteWhat::Ask(QWidget* parent) {
  TDeleteWhat dialog(parent);
  CenterOverMain(&dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

}  // namespace ql
