#include "app/ui/testing/modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>

namespace ql::testing {

ModalAnswerer::ModalAnswerer() {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

ModalAnswerer& ModalAnswerer::Then(Answer answer) {
  answers_.push_back(Queued{QString(), std::move(answer)});
  return *this;
}

ModalAnswerer& ModalAnswerer::ThenOn(const QString& caption, Answer answer) {
  answers_.push_back(Queued{caption, std::move(answer)});
  return *this;
}

ModalAnswerer& ModalAnswerer::ThenPress(QMessageBox::StandardButton button) {
  return Then([button](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      if (QAbstractButton* b = box->button(button)) b->click();
    }
  });
}

void ModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible() || answers_.empty()) return;
  for (const auto& h : handled_)
    if (h == modal) return;
  if (!answers_.front().caption.isEmpty() && answers_.front().caption != modal->windowTitle()) return;
  handled_.emplace_back(modal);
  SeenModal seen{modal->windowTitle(), {}};
  if (auto* box = qobject_cast<QMessageBox*>(modal)) seen.text = box->text();
  seen_.push_back(seen);
  Answer answer = std::move(answers_.front().answer);
  answers_.pop_front();
  // Run the answer from its own event, so a modal window it opens in turn can be
  // answered by this poll timer again.
  QPointer<QWidget> target(modal);
  QTimer::singleShot(0, [answer = std::move(answer), target] {
    if (target != nullptr) answer(target.data());
  });
}

bool ClickButtonByText(QWidget* window, const QString& text) {
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    if (b->text().remove(QLatin1Char('&')) == QString(text).remove(QLatin1Char('&')) && !b->isHidden()) {
      b->click();
      return true;
    }
  }
  return false;
}

}  // namespace ql::testing
