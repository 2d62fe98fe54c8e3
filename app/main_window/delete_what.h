#pragma once
// "Delete Fax": for an outgoing fax with both a cover sheet and a body, which of the
// two to delete.

#include <QDialog>
#include <optional>

class QRadioButton;

namespace ql {

enum class TDeleteChoice { dwCover, dwBody, dwBoth };

class TDeleteWhat : public QDialog {
  Q_OBJECT

 public:
  explicit TDeleteWhat(QWidget* parent = nullptr);
  TDeleteChoice Choice() const;

  // Runs the dialog; nothing on Cancel.
  static std::optional<TDeleteChoice> Ask(QWidget* parent);

 private:
  QRadioButton* cover_;
  QRadioButton* body_;
  QRadioButton* both_;
};

}  // namespace ql
