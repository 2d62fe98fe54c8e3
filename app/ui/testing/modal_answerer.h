#pragma once
// Drives modal windows from tests the way a user would: each queued answer runs once,
// on the next modal window that opens (a message box or a dialog), after the window has
// started its own event loop. Every modal window seen is recorded with its caption and,
// for message boxes, its text.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace ql::testing {

struct SeenModal {
  QString caption;
  QString text;  // message boxes only
};

class ModalAnswerer {
 public:
  using Answer = std::function<void(QWidget*)>;
  ModalAnswerer();
  ~ModalAnswerer();

  ModalAnswerer& Then(Answer answer);
  // An answer that waits for a modal window of this caption (others stay unanswered).
  ModalAnswerer& ThenOn(const QString& caption, Answer answer);
  // Shorthands: press a standard button of the next message box.
  ModalAnswerer& ThenPress(QMessageBox::StandardButton button);

  // A modal window the test drives itself (the window under test): never answered.
  void Ignore(QWidget* window) { handled_.emplace_back(window); }

  int Pending() const { return static_cast<int>(answers_.size()); }
  const std::vector<SeenModal>& Seen() const { return seen_; }

 private:
  void Poll();

  QTimer timer_;
  struct Queued {
    QString caption;  // empty: any modal window
    Answer answer;
  };
  std::deque<Queued> answers_;
  std::vector<QPointer<QWidget>> handled_;
  std::vector<SeenModal> seen_;
};

// Clicks the button whose text (without "&") is given, in any child of window. Returns
// false when there is none.
bool ClickButtonByText(QWidget* window, const QString& text);

}  // namespace ql::testing
