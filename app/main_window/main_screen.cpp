#include "app/main_window/main_screen.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/fax_store/fax_store.h"
#include "app/main_window/command_controls.h"
#include "app/main_window/row_commands.h"
#include "app/phonebook/phone_book.h"
#include "app/preferences/preferences.h"
#include "app/rebuild/rebuild_indexes.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "serial/errors/exceptions.h"

namespace ql {
namespace {

constexpr const char* kClassName = "TMainScreen";

}  // namespace

TMainScreen::TMainScreen() {
  setObjectName(QString::fromLatin1(kClassName));
  setWindowTitle(QStringLiteral("Quillet"));
  SetMainWindow(this);
  // 1. First activation pending; archived faxes hidden.
  archiveFilter_ = kArchiveFilter;
  StartTableSession();
  // 2. The lists and their pages; the outgoing tab is shown. The forward button stands
  // at the clone button's place.
  BuildLists();
  BuildCommands();
  statusBar()->hide();  // shown only while something is under way
  // 3.-5. The tables, with the archive filter.
  OpenTables();
  // 7. Settings; a first run (no port ever chosen) opens Preferences at activation.
  LoadSettings();
  if (Settings().ComPort == -1) {
    firstRun_ = true;
    Settings().ComPort = 0;
  }
  // 11. Working folders.
  EnsureWorkFolders();
  // 13. Hints.
  Action(TCommand::cmHints)->setChecked(Settings().HintsOn);
  ApplyHints();
  resize(900, 560);
  SetButtons();
}

TMainScreen::~TMainScreen() {
  if (MainWindow() == this) SetMainWindow(nullptr);
}

void TMainScreen::BuildLists() {
  tabs_ = new QTabWidget(this);
  for (const TFaxListKind* kind : {&OutgoingListKind(), &ReceivedListKind()}) {
    auto& list = lists_[static_cast<size_t>(kind->tab)];
    list = std::make_unique<TFaxList>(*kind, this);
    tabs_->addTab(list->View(), QString::fromLatin1(kind->tabLabel));
    TFaxList* l = list.get();
    connect(l, &TFaxList::CurrentRowChanged, this, [this] {
      // Before the first activation is over a new row refreshes the archive captions only.
      if (!firstActivation_)
        SetButtons();
      else
        SetArchiveCaptions();
    });
    connect(l, &TFaxList::RowActivated, this, [this] {
      if (commands_->RowCommand()) Run(*commands_->RowCommand());
    });
    connect(l, &TFaxList::SortChosen, this, [this, l](const std::string& tag) { ChooseSort(*l, tag); });
  }
  tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { SetButtons(); });
}

void TMainScreen::BuildCommands() {
  commands_ = std::make_unique<TCommandControls>(*this, MainCommands(), MainMenus(),
                                                 [this](TCommand command) { Run(command); });
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(2);
  commands_->AddButtons(*bar, central);
  bar->addStretch(1);
  layout->addLayout(bar);
  layout->addWidget(tabs_, 1);
  setCentralWidget(central);
  for (const auto& list : lists_) commands_->OfferContextMenu(*list->View());
}

QAction* TMainScreen::Action(TCommand command) const {
  return commands_->Action(command);
}

QPushButton* TMainScreen::Button(TCommand command) const {
  return commands_->Button(command);
}

void TMainScreen::AttachCommand(TCommand command, std::function<void()> operation) {
  attached_[command] = std::move(operation);
  SetButtons();
}

bool TMainScreen::IsAttached(TCommand command) const {
  const auto it = attached_.find(command);
  return it != attached_.end() && it->second;
}

bool TMainScreen::RunAttached(TCommand command) {
  if (!IsAttached(command)) return false;
  attached_[command]();
  return true;
}

void TMainScreen::Run(TCommand command) {
  const TCommandEntry& entry = MainCommand(command);
  if (entry.run != nullptr) {
    entry.run(*this);
  } else if (!RunAttached(command)) {
    Beep();
    return;
  }
  SetButtons();
}

void TMainScreen::OpenTables() {
  tablesOpen_ = true;
  for (const auto& list : lists_) {
    if (!list->Open(archiveFilter_)) {
      ShowInfo(QString::fromLatin1(list->Kind().openFailure));
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      tablesOpen_ = false;
      break;
    }
  }
  for (const auto& list : lists_) list->ShowRows();
}

TListTab TMainScreen::CurrentTab() const {
  for (const auto& list : lists_)
    if (tabs_->currentWidget() == list->View()) return list->Tab();
  return TListTab::ltOutgoing;
}

void TMainScreen::SelectTab(TListTab tab) {
  tabs_->setCurrentIndex(tabs_->indexOf(List(tab).View()));
}

void TMainScreen::ToggleTab() {
  SelectTab(CurrentTab() == TListTab::ltOutgoing ? TListTab::ltReceived : TListTab::ltOutgoing);
  SetButtons();
}

void TMainScreen::ChooseSort(TFaxList& list, const std::string& tag) {
  if (list.Busy(faxInProgress_)) {
    Beep();
    return;
  }
  list.SortBy(tag);
  SetButtons();
}

void TMainScreen::PopUpSortMenu() {
  QPushButton* button = Button(TCommand::cmSort);
  ShownList().SortMenu()->popup(button->mapToGlobal(QPoint(0, button->height())));
}

TListState TMainScreen::ShownState() const {
  TFaxList& shown = ShownList();
  TListState state;
  state.tab = shown.Tab();
  state.receiveMode = receiveMode_;
  state.hasRow = shown.CurrentRecNo() != 0;
  std::string cover;
  state.coverEmpty =
      state.tab == TListTab::ltOutgoing && shown.ReadCurrent("FAXCOVER", cover) && cover.empty();
  return state;
}

void TMainScreen::SetButtons() {
  if (closing_ || settingButtons_ || ShownList().Model() == nullptr) return;
  settingButtons_ = true;
  // Orders first, so that the enabling below sees the rows as shown.
  for (const auto& list : lists_) list->SettleOrder();
  // A command carried out elsewhere is available only once that part is attached.
  commands_->Update(ShownState(), [this](TCommand c) { return IsAttached(c); });
  SetArchiveCaptions();
  for (const auto& list : lists_) list->View()->setEnabled(list->HasRows());
  settingButtons_ = false;
}

void TMainScreen::SetArchiveCaptions() {
  if (ShownList().CurrentArchived())
    commands_->SetCaption(TCommand::cmArchive, QString::fromLatin1(kUnarchiveText),
                          QString::fromLatin1(kUnarchiveHint));
  else
    commands_->ResetCaption(TCommand::cmArchive);
  ApplyHints();
}

void TMainScreen::ApplyHints() {
  commands_->ApplyHints(Settings().HintsOn);
}

void TMainScreen::ToggleHints() {
  Settings().HintsOn = Action(TCommand::cmHints)->isChecked();
  try {
    SaveSettings();
  } catch (const Exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
  ApplyHints();
}

void TMainScreen::SetReceiveMode(bool on) {
  receiveMode_ = on;
  statusBar()->setVisible(on);
  SetButtons();
}

void TMainScreen::EditCurrent() {
  TRowCommands(*this).EditCurrent();
}

void TMainScreen::DeleteCurrent() {
  TRowCommands(*this).DeleteCurrent();
}

void TMainScreen::ToggleShowArchived() {
  archiveFilter_ =
      Action(TCommand::cmShowArchived)->isChecked() ? std::string() : std::string(kArchiveFilter);
  for (const auto& list : lists_) {
    list->ApplyFilter(archiveFilter_);
    list->Refresh(list->CurrentRecNo());
  }
}

void TMainScreen::FaxTableCloseAndOpen() {
  List(TListTab::ltOutgoing).Reopen(archiveFilter_);
}

void TMainScreen::RebuildIndexes() {
  std::array<uint32_t, 2> rows{};
  for (size_t i = 0; i < lists_.size(); ++i) {
    lists_[i]->View()->setUpdatesEnabled(false);
    rows[i] = lists_[i]->CurrentRecNo();
  }
  {
    TRebuildInd window(this, OutTable(), RecTable());
    CenterOverMain(&window);
    window.exec();
  }
  for (size_t i = 0; i < lists_.size(); ++i) {
    lists_[i]->ApplyFilter(archiveFilter_);
    lists_[i]->Refresh(rows[i]);
    lists_[i]->View()->setUpdatesEnabled(true);
  }
}

void TMainScreen::OpenPreferences(bool firstRun) {
  TPreferences::Edit(this, firstRun);
}

void TMainScreen::OpenPhoneBook() {
  TPhoneBook book(this, TPhoneBookMode::pbBrowse);
  if (!book.Open()) {
    ShowError(QStringLiteral("Unable to open or create QLPB.DBF"));
    return;
  }
  CenterOverMain(&book);
  book.exec();
}

void TMainScreen::FirstActivation() {
  if (!firstActivation_) return;
  TFaxList& outgoing = List(TListTab::ltOutgoing);
  // 1. Shown and placed.
  LoadPlacement(this, kClassName);
  show();
  // 2. Faxes printed to the driver while the program was not running.
  uint32_t remembered = 0;
  if (pickup_ && pickup_()) remembered = outgoing.CurrentRecNo();
  // 3. Forward, unless the program was started minimised.
  if (startMinimized_)
    showMinimized();
  else
    BringForward();
  QApplication::processEvents();
  // 4. A first run asks the user about the modem and themselves.
  if (firstRun_) {
    firstRun_ = false;
    OpenPreferences(true);
  }
  // 5. Back to the row, buttons, column layout.
  if (remembered != 0) outgoing.Refresh(remembered);
  SetButtons();
  LoadGridOrders();
  // 6. Every later activation picks up printed faxes again.
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) LaterActivation();
  });
  if (writeDriverIni_) writeDriverIni_();
  firstActivation_ = false;
}

void TMainScreen::LaterActivation() {
  if (firstActivation_ || closing_) return;
  TFaxList& outgoing = List(TListTab::ltOutgoing);
  if (pickup_ && pickup_()) outgoing.Refresh(outgoing.CurrentRecNo());
  SetButtons();
}

void TMainScreen::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void TMainScreen::SaveGridOrders() {
  for (const auto& list : lists_) list->SaveLayout();
}

void TMainScreen::LoadGridOrders() {
  for (const auto& list : lists_) list->LoadLayout();
}

void TMainScreen::closeEvent(QCloseEvent* event) {
  if (faxInProgress_ &&
      !AskYesNo(QStringLiteral("You are recieving a fax. Close the program?"), QStringLiteral("ALERT!"))) {
    event->ignore();
    return;
  }
  if (receiveMode_) {
    RunAttached(TCommand::cmReceive);  // the receive command stops receive mode
    receiveMode_ = false;
  }
  closing_ = true;
  if (tablesOpen_) SaveGridOrders();
  for (const auto& list : lists_) list->Close();
  SavePlacement(this, kClassName);
  event->accept();
}

}  // namespace ql
