#include "app/main_window/command_controls.h"

#include <QAbstractItemView>
#include <QAction>
#include <QBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "app/ui/message_boxes.h"

namespace ql {

TCommandControls::TCommandControls(QMainWindow& window, const std::vector<TCommandEntry>& table,
                                   const std::vector<TMenuEntry>& menus, Trigger trigger)
    : window_(window), trigger_(std::move(trigger)), table_(table), menuTable_(menus) {
  for (const TCommandEntry& e : table_) {
    auto* action = new QAction(QString::fromLatin1(e.menuText), &window_);
    action->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setCheckable(e.checkable);
    action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(e.command)));
    QObject::connect(action, &QAction::triggered, &window_,
                     [this, command = e.command] { trigger_(command); });
    controls_.push_back(Controls{&e, action, nullptr, QString::fromLatin1(e.hint)});
    if (e.activatesRow && !rowCommand_) rowCommand_ = e.command;
  }
  for (const TMenuEntry& m : menuTable_) {
    QMenu* menu = window_.menuBar()->addMenu(QString::fromLatin1(m.title));
    menus_[m.id] = menu;
    std::optional<int> group;
    for (const Controls& c : controls_) {
      if (c.entry->menu != m.id) continue;
      if (group && *group != c.entry->group) menu->addSeparator();
      group = c.entry->group;
      menu->addAction(c.action);
    }
  }
  for (const Controls& c : controls_) {
    if (c.entry->inContextMenu) {
      if (contextMenu_ == nullptr) contextMenu_ = new QMenu(&window_);
      contextMenu_->addAction(c.action);
    }
    // An action answers its shortcut only where it is shown in the window: one that no
    // menu-bar menu lists is given to the window itself.
    if (menus_.count(c.entry->menu) == 0 && !c.action->shortcut().isEmpty()) window_.addAction(c.action);
  }
}

void TCommandControls::AddButtons(QBoxLayout& bar, QWidget* parent) {
  for (Controls& c : controls_) {
    if (*c.entry->buttonText == '\0') continue;
    auto* button = new QPushButton(QString::fromLatin1(c.entry->buttonText), parent);
    button->setObjectName(QStringLiteral("button%1").arg(static_cast<int>(c.entry->command)));
    button->setFocusPolicy(Qt::NoFocus);  // the lists keep the keyboard
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, &window_,
                     [this, command = c.entry->command] { trigger_(command); });
    c.button = button;
    bar.addWidget(button);
  }
}

void TCommandControls::OfferContextMenu(QAbstractItemView& view) {
  if (contextMenu_ == nullptr) return;
  view.setContextMenuPolicy(Qt::CustomContextMenu);
  QMenu* menu = contextMenu_;
  QObject::connect(&view, &QWidget::customContextMenuRequested, menu, [&view, menu](const QPoint& pos) {
    const QModelIndex under = view.indexAt(pos);
    if (under.isValid()) view.setCurrentIndex(under);  // the commands act on the row clicked
    menu->popup(view.viewport()->mapToGlobal(pos));
  });
}

void TCommandControls::Update(const TListState& state, const std::function<bool(TCommand)>& attached) {
  for (Controls& c : controls_) {
    const TCommandEntry& e = *c.entry;
    const bool enabled = e.IsEnabled(state) && (e.run != nullptr || attached(e.command));
    c.action->setEnabled(enabled);
    if (c.button != nullptr) c.button->setEnabled(enabled);
    if (e.visible == nullptr) continue;
    const bool visible = e.IsVisible(state);
    c.action->setVisible(visible);
    if (c.button != nullptr) c.button->setVisible(visible);
  }
  for (const TMenuEntry& m : menuTable_) menus_.at(m.id)->setEnabled(m.IsEnabled(state));
}

void TCommandControls::SetCaption(TCommand command, const QString& text, const QString& hint) {
  Controls* c = Find(command);
  if (c == nullptr) return;
  c->action->setText(text);
  if (c->button != nullptr) c->button->setText(text);
  c->hint = hint;
}

void TCommandControls::ResetCaption(TCommand command) {
  Controls* c = Find(command);
  if (c == nullptr) return;
  c->action->setText(QString::fromLatin1(c->entry->menuText));
  if (c->button != nullptr) c->button->setText(QString::fromLatin1(c->entry->buttonText));
  c->hint = QString::fromLatin1(c->entry->hint);
}

void TCommandControls::ApplyHints(bool on) {
  for (Controls& c : controls_) {
    const QString hint = on ? DisplayText(c.hint) : QString();
    c.action->setToolTip(hint);
    if (c.button != nullptr) c.button->setToolTip(hint);
  }
}

QAction* TCommandControls::Action(TCommand command) const {
  const Controls* c = Find(command);
  return c == nullptr ? nullptr : c->action;
}

QPushButton* TCommandControls::Button(TCommand command) const {
  const Controls* c = Find(command);
  return c == nullptr ? nullptr : c->button;
}

QMenu* TCommandControls::Menu(TMenuId id) const {
  const auto it = menus_.find(id);
  return it == menus_.end() ? nullptr : it->second;
}

TCommandControls::Controls* TCommandControls::Find(TCommand command) {
  for (Controls& c : controls_)
    if (c.entry->command == command) return &c;
  return nullptr;
}

const TCommandControls::Controls* TCommandControls::Find(TCommand command) const {
  return const_cast<TCommandControls*>(this)->Find(command);
}

}  // namespace ql
