#include "app/main_window/receive_notes.h"

#include <QFormLayout>
#include <QLabel>
#include <QLayout>

namespace ql {

TEditReceiveNotes::TEditReceiveNotes(QWidget* parent, const QString& from)
    : TFormDialog(parent, QStringLiteral("Received Fax Notes")) {
  setObjectName(QStringLiteral("TEditReceiveNotes"));
  auto* fromLabel = new QLabel(QStringLiteral("From: ") + from, this);
  fromLabel->setObjectName(QStringLiteral("from"));
  fromLabel->setTextFormat(Qt::PlainText);
  static_cast<QBoxLayout*>(layout())->insertWidget(0, fromLabel);
  notes_ = AddField(QStringLiteral("Notes"), 60, QStringLiteral("notes"));
}

bool TEditReceiveNotes::Edit(QWidget* parent, const QString& from, QString& notes) {
  TEditReceiveNotes editor(parent, from);
  editor.notes_->setText(notes);
  if (!editor.Run()) return false;
  notes = editor.notes_->text();
  return true;
}

}  // namespace ql
