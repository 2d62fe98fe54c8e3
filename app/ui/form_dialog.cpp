#include "app/ui/form_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/window_glue.h"

namespace ql {

void TEnterEdit::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    focusNextChild();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

TFormDialog::TFormDialog(QWidget* parent, const QString& caption) : QDialog(parent) {
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  form_ = new QFormLayout;
  layout->addLayout(form_);
  buttons_ = new QDialogButtonBox(this);
  accept_ = buttons_->addButton(QStringLiteral("&Accept"), QDialogButtonBox::AcceptRole);
  buttons_->addButton(QStringLiteral("Cance&l"), QDialogButtonBox::RejectRole);
  accept_->setDefault(true);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons_);
}

TEnterEdit* TFormDialog::AddField(const QString& label, int maxLength, const QString& name) {
  auto* edit = new TEnterEdit(this);
  edit->setObjectName(name);
  if (maxLength > 0) edit->setMaxLength(maxLength);
  edit->setMinimumWidth(260);
  form_->addRow(label, edit);
  return edit;
}

QPushButton* TFormDialog::AddButton(const QString& text) {
  return buttons_->addButton(text, QDialogButtonBox::ActionRole);
}

bool TFormDialog::Run() {
  CenterOverMain(this);
  return exec() == QDialog::Accepted;
}

}  // namespace ql
