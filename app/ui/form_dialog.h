#pragma once
// The small editing dialogs share one shape: labelled one-line fields in a column and
// a row of buttons ("&Accept" as default, "Cance&l", optionally more). Enter in a field
// moves to the next field, as in a paper form, instead of closing the dialog.

#include <QDialog>
#include <QLineEdit>
#include <vector>

class QDialogButtonBox;
class QFormLayout;
class QPushButton;

namespace ql {

// A one-line field in which Enter moves on to the next field.
class TEnterEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TEnterEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TFormDialog : public QDialog {
  Q_OBJECT

 public:
  TFormDialog(QWidget* parent, const QString& caption);

  // Adds a labelled field of at most maxLength characters, named name for tests.
  TEnterEdit* AddField(const QString& label, int maxLength, const QString& name);
  // Adds a button to the button row; it does not close the dialog.
  QPushButton* AddButton(const QString& text);
  QPushButton* AcceptButton() const { return accept_; }

  // Centres the dialog over the main window and runs it; true on Accept.
  bool Run();

 private:
  QFormLayout* form_;
  QDialogButtonBox* buttons_;
  QPushButton* accept_;
};

}  // namespace ql
