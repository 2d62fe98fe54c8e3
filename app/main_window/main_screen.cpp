#include "app/main_window/main_screen.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/fax_store/fax_store.h"
#include "app/lists/column_layout.h"
#include "app/lists/table_list_model.h"
#include "app/main_window/about.h"
#include "app/main_window/quick_start.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/help/help.h"
#include "serial/errors/exceptions.h"

namespace ql {
namespace {

constexpr const char* kClassName = "TMainScreen";

const std::vector<TListColumn>& OutColumns() {
  static const std::vector<TListColumn> columns = {
      {"SUBJECT", QStringLiteral("Subject")},      {"DATESENT", QStringLiteral("Date Sent")},
      {"TIMESENT", QStringLiteral("Time Sent")},   {"RECIPIENT", QStringLiteral("Recipient")},
      {"PHONE", QStringLiteral("Fax#")},           {"LASTRESULT", QStringLiteral("Last Attempt")},
      {"NOTES", QStringLiteral("Notes")},          {"CODES", QStringLiteral("Codes")}};
  return columns;
}

const std::vector<TListColumn>& RecColumns() {
  static const std::vector<TListColumn> columns = {
      {"DATEREC", QStringLiteral("Date Rec'd")}, {"TIMEREC", QStringLiteral("Time Rec'd")},
      {"FROM", QStringLiteral("From")},          {"PAGES", QStringLiteral("Pages")},
      {"NOTES", QStringLiteral("Notes")}};
  return columns;
}

std::vector<std::string> FieldsOf(const std::vector<TListColumn>& columns) {
  std::vector<std::string> fields;
  for (const auto& c : columns) fields.push_back(c.field);
  return fields;
}

QTableView* MakeGrid(QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setAlternatingRowColors(true);
  view->verticalHeader()->setFixedWidth(12);  // the row-marker column
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->horizontalHeader()->setSectionsMovable(true);
  view->horizontalHeader()->setHighlightSections(false);
  view->setWordWrap(false);
  return view;
}

const QString kArchiveHint = QStringLiteral(
    "Archive this fax [CTRL+A]\r(This makes the fax invisible, but does not\rdelete it. You can view archived "
    "faxes by\rtoggling the File..Show Archived Faxes menu)");
const QString kUnarchiveHint = QStringLiteral("Unarchive this fax [CTRL+A]");

}  // namespace

std::filesystem::path OutLayoutBase() { return AppFolderPath() / "Out"; }

TMainScreen::TMainScreen() {
  setObjectName(QString::fromLatin1(kClassName));
  setWindowTitle(QStringLiteral("Quillet"));
  SetMainWindow(this);
  // 1. First activation pending; archived faxes hidden.
  archiveFilter_ = kArchiveFilter;
  StartTableSession();
  // 2. The lists and their pages; the outgoing tab is shown.
  BuildLists();
  BuildCommands();
  BuildMenus();
  BuildButtonBar();
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
  outView_->setModel(nullptr);
  recView_->setModel(nullptr);
  outModel_.reset();
  recModel_.reset();
  out_.Close();
  rec_.Close();
  if (MainWindow() == this) SetMainWindow(nullptr);
}

void TMainScreen::BuildLists() {
  tabs_ = new QTabWidget(this);
  outView_ = MakeGrid(tabs_);
  recView_ = MakeGrid(tabs_);
  outView_->setObjectName(QStringLiteral("outgoingList"));
  recView_->setObjectName(QStringLiteral("receivedList"));
  tabs_->addTab(outView_, QStringLiteral("Out&going Faxes"));
  tabs_->addTab(recView_, QStringLiteral("&Incoming Faxes"));
  tabs_->setCurrentIndex(0);
  for (QTableView* view : {outView_, recView_}) {
    view->installEventFilter(this);
    connect(view, &QTableView::doubleClicked, this, [this] { Run(TCommand::cmEdit); });
  }
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { SetButtons(); });
}

QAction* TMainScreen::MakeAction(TCommand command, const QString& text, const QKeySequence& shortcut,
                                 const QString& hint) {
  auto* action = new QAction(text, this);
  action->setShortcut(shortcut);
  action->setShortcutContext(Qt::WindowShortcut);
  action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(command)));
  controls_[command].action = action;
  controls_[command].hint = hint;
  connect(action, &QAction::triggered, this, [this, command] { Run(command); });
  return action;
}

void TMainScreen::BuildCommands() {
  using C = TCommand;
  MakeAction(C::cmNew, QStringLiteral("&New Cover Sheet"), QKeySequence(QStringLiteral("Ctrl+N")),
             QStringLiteral("Create a new cover sheet or quick fax [CTRL+N]"));
  MakeAction(C::cmAddCover, QStringLiteral("Add C&over Sheet"), QKeySequence(QStringLiteral("Ctrl+O")),
             QStringLiteral("Add a cover sheet to this fax [CTRL+O]"));
  MakeAction(C::cmEdit, QStringLiteral("&Edit"), QKeySequence(QStringLiteral("Ctrl+E")),
             QStringLiteral("Edit the information of this fax [CTRL+E]"));
  MakeAction(C::cmClone, QStringLiteral("&Clone"), QKeySequence(QStringLiteral("Ctrl+C")),
             QStringLiteral("Make a copy of this fax [CTRL+C]"));
  MakeAction(C::cmDelete, QStringLiteral("&Delete"), QKeySequence(QStringLiteral("Ctrl+D")),
             QStringLiteral("Delete this fax [CTRL+D]"));
  MakeAction(C::cmArchive, QStringLiteral("&Archive"), QKeySequence(QStringLiteral("Ctrl+A")), kArchiveHint);
  MakeAction(C::cmForward, QStringLiteral("For&ward Received Fax"), QKeySequence(),
             QStringLiteral("Forward this received fax to be sent"));
  MakeAction(C::cmShowArchived, QStringLiteral("S&how Archived Faxes"), QKeySequence(), QString())->setCheckable(true);
  MakeAction(C::cmSend, QStringLiteral("&Send Fax"), QKeySequence(QStringLiteral("Ctrl+S")),
             QStringLiteral("Send this fax [CTRL+S]"));
  MakeAction(C::cmReceive, QStringLiteral("&Receive Fax"), QKeySequence(QStringLiteral("Ctrl+R")),
             QStringLiteral("Wait for and receive faxes [CTRL+R]"));
  MakeAction(C::cmView, QStringLiteral("&View/Print Fax"), QKeySequence(QStringLiteral("Ctrl+V")),
             QStringLiteral("View or print this fax [CTRL+V]"));
  MakeAction(C::cmSort, QStringLiteral("Sor&t"), QKeySequence(), QStringLiteral("Sort the list"));
  MakeAction(C::cmModemReset, QStringLiteral("&Modem Reset"), QKeySequence(), QStringLiteral("Reset the modem"));
  MakeAction(C::cmPhoneBook, QStringLiteral("&Phone Book"), QKeySequence(), QStringLiteral("Edit the phone book"));
  MakeAction(C::cmRebuild, QStringLiteral("Rebuild &Indexes"), QKeySequence(), QStringLiteral("Do this every 2 weeks "));
  MakeAction(C::cmPreferences, QStringLiteral("P&references"), QKeySequence(),
             QStringLiteral("Your name, numbers, modem and dialing settings"));
  MakeAction(C::cmExit, QStringLiteral("E&xit"), QKeySequence(QStringLiteral("Ctrl+X")),
             QStringLiteral("Close Quillet [CTRL+X]"));
  MakeAction(C::cmContents, QStringLiteral("&Contents"), QKeySequence(), QString());
  MakeAction(C::cmTroubleshooting, QStringLiteral("&Troubleshooting Tips"), QKeySequence(), QString());
  MakeAction(C::cmAbout, QStringLiteral("&About"), QKeySequence(), QString());
  MakeAction(C::cmHints, QStringLiteral("&Show Hints"), QKeySequence(), QString())->setCheckable(true);
  MakeAction(C::cmQuickStart, QStringLiteral("----Start Here----"), QKeySequence(), QString());

  auto* toggleTab = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Tab")), this);
  connect(toggleTab, &QShortcut::activated, this, &TMainScreen::ToggleTab);

  // The sort menus pop up below the Sort button; their entries select a tag.
  outSortMenu_ = new QMenu(this);
  recSortMenu_ = new QMenu(this);
  const auto addSortEntries = [this](QMenu* menu, TListTab tab,
                                     std::initializer_list<std::pair<const char*, const char*>> entries) {
    auto* group = new QActionGroup(menu);
    for (const auto& [label, tag] : entries) {
      QAction* entry = menu->addAction(QString::fromLatin1(label));
      entry->setCheckable(true);
      entry->setData(QString::fromLatin1(tag));
      group->addAction(entry);
      connect(entry, &QAction::triggered, this, [this, tab, t = std::string(tag)] {
        if (tab == TListTab::ltReceived && faxInProgress_) {
          Beep();
          return;
        }
        SortBy(tab, t);
        SetButtons();
      });
    }
  };
  addSortEntries(outSortMenu_, TListTab::ltOutgoing,
                 {{"&Date Sent", "DATESENT"}, {"&Subject", "SUBJECT"}, {"&Recipient", "RECIPIENT"}});
  addSortEntries(recSortMenu_, TListTab::ltReceived, {{"Date Received", "DATETIME"}, {"From", "FROM"}});
}

void TMainScreen::BuildMenus() {
  using C = TCommand;
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
  for (C c : {C::cmNew, C::cmAddCover, C::cmEdit, C::cmClone, C::cmForward, C::cmDelete, C::cmArchive, C::cmView})
    fileMenu_->addAction(Action(c));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(C::cmShowArchived));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(C::cmExit));

  QMenu* fax = menuBar()->addMenu(QStringLiteral("F&ax"));
  fax->addAction(Action(C::cmSend));
  fax->addAction(Action(C::cmReceive));
  fax->addSeparator();
  fax->addAction(Action(C::cmModemReset));

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools->addAction(Action(C::cmPhoneBook));
  tools->addAction(Action(C::cmRebuild));
  tools->addAction(Action(C::cmPreferences));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(Action(C::cmQuickStart));
  help->addAction(Action(C::cmContents));
  help->addAction(Action(C::cmTroubleshooting));
  help->addAction(Action(C::cmHints));
  help->addSeparator();
  help->addAction(Action(C::cmAbout));
}

void TMainScreen::BuildButtonBar() {
  using C = TCommand;
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(2);
  const std::pair<C, const char*> buttons[] = {
      {C::cmNew, "&New"},         {C::cmAddCover, "Add C&over"}, {C::cmEdit, "&Edit"},
      {C::cmClone, "&Clone"},     {C::cmForward, "For&ward"},    {C::cmDelete, "&Delete"},
      {C::cmArchive, "&Archive"}, {C::cmSend, "&Send"},          {C::cmReceive, "&Receive"},
      {C::cmView, "&View"},       {C::cmSort, "Sor&t"},          {C::cmExit, "E&xit"}};
  for (const auto& [command, text] : buttons) {
    auto* button = new QPushButton(QString::fromLatin1(text), central);
    button->setObjectName(QStringLiteral("button%1").arg(static_cast<int>(command)));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    controls_[command].button = button;
    // The forward button takes the clone button's place; only one is ever visible.
    bar->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this, command] { Run(command); });
  }
  bar->addStretch(1);
  layout->addLayout(bar);
  layout->addWidget(tabs_, 1);
  setCentralWidget(central);
}

QAction* TMainScreen::Action(TCommand command) const {
  const auto it = controls_.find(command);
  return it == controls_.end() ? nullptr : it->second.action;
}

QPushButton* TMainScreen::Button(TCommand command) const {
  const auto it = controls_.find(command);
  return it == controls_.end() ? nullptr : it->second.button;
}

void TMainScreen::AttachCommand(TCommand command, std::function<void()> operation) {
  attached_[command] = std::move(operation);
  SetButtons();
}

bool TMainScreen::IsAttached(TCommand command) const {
  const auto it = attached_.find(command);
  return it != attached_.end() && it->second;
}

void TMainScreen::Run(TCommand command) {
  using C = TCommand;
  switch (command) {
    case C::cmEdit: EditCurrent(); break;
    case C::cmClone: CloneAPFFax(); break;
    case C::cmDelete: DeleteCurrent(); break;
    case C::cmArchive: ArchiveCurrent(); break;
    case C::cmForward: ForwardReceived(); break;
    case C::cmShowArchived: ToggleShowArchived(); break;
    case C::cmSort: {
      QMenu* menu = CurrentTab() == TListTab::ltOutgoing ? outSortMenu_ : recSortMenu_;
      QPushButton* button = Button(C::cmSort);
      menu->popup(button->mapToGlobal(QPoint(0, button->height())));
      return;
    }
    case C::cmPhoneBook: OpenPhoneBook(); break;
    case C::cmRebuild: RebuildIndexes(); break;
    case C::cmPreferences: OpenPreferences(false); break;
    case C::cmExit: close(); return;
    case C::cmContents: ShowHelp(kHelpContents); return;
    case C::cmTroubleshooting: ShowHelp(kHelpTroubleshooting); return;
    case C::cmAbout: ShowAbout(this); return;
    case C::cmHints: ToggleHints(); return;
    case C::cmQuickStart: {
      TQuickStart window(this);
      CenterOverMain(&window);
      window.exec();
      return;
    }
    default: {
      // Commands carried out by other parts of the program.
      const auto it = attached_.find(command);
      if (it == attached_.end() || !it->second) {
        Beep();
        return;
      }
      it->second();
      break;
    }
  }
  SetButtons();
}

bool TMainScreen::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == outView_ || watched == recView_) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
      Run(TCommand::cmEdit);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainScreen::OpenTables() {
  if (!OpenFaxDBF(out_, archiveFilter_)) {
    ShowInfo(QStringLiteral("Unable to open/create the FAX datafile - closing program"));
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  } else {
    out_.SetOrder(out_.TagArea("DATESENT"));
    out_.GoTop();
    if (!OpenRecFaxDBF(rec_, archiveFilter_)) {
      ShowInfo(QStringLiteral("Unable to open/create the FAX RECEIVE datafile - closing program"));
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    } else {
      tablesOpen_ = true;
    }
  }
  outModel_ = std::make_unique<TTableListModel>(out_, OutColumns(), "ARCHIVED");
  recModel_ = std::make_unique<TTableListModel>(rec_, RecColumns(), "ARCHIVED");
  outView_->setModel(outModel_.get());
  recView_->setModel(recModel_.get());
  for (QTableView* view : {outView_, recView_}) {
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
      if (!firstActivation_) SetButtons();
      else SetArchiveCaptions();
    });
  }
  // Widths until the user's own layout is restored at the first activation.
  const int outWidths[] = {220, 90, 70, 150, 110, 170, 160, 100};
  for (int c = 0; c < static_cast<int>(std::size(outWidths)); ++c) outView_->setColumnWidth(c, outWidths[c]);
  const int recWidths[] = {90, 80, 170, 60, 300};
  for (int c = 0; c < static_cast<int>(std::size(recWidths)); ++c) recView_->setColumnWidth(c, recWidths[c]);
  if (outModel_->rowCount() > 0) outView_->selectRow(0);
  if (recModel_->rowCount() > 0) recView_->selectRow(0);
}

void TMainScreen::ApplyArchiveFilter() {
  for (xb::TTableEngine* table : {&out_, &rec_}) {
    if (!table->IsOpen()) continue;
    table->Query(archiveFilter_);
  }
}

TTableListModel* TMainScreen::ModelOf(TListTab tab) const {
  return tab == TListTab::ltOutgoing ? outModel_.get() : recModel_.get();
}

QTableView* TMainScreen::ViewOf(TListTab tab) const { return tab == TListTab::ltOutgoing ? outView_ : recView_; }

TListTab TMainScreen::CurrentTab() const {
  return tabs_->currentIndex() == 1 ? TListTab::ltReceived : TListTab::ltOutgoing;
}

void TMainScreen::SelectTab(TListTab tab) { tabs_->setCurrentIndex(tab == TListTab::ltReceived ? 1 : 0); }

void TMainScreen::ToggleTab() {
  SelectTab(CurrentTab() == TListTab::ltOutgoing ? TListTab::ltReceived : TListTab::ltOutgoing);
  SetButtons();
}

uint32_t TMainScreen::CurrentRecNo(TListTab tab) const {
  const TTableListModel* model = ModelOf(tab);
  const QModelIndex current = ViewOf(tab)->currentIndex();
  return model != nullptr && current.isValid() ? model->RecNoAt(current.row()) : 0;
}

bool TMainScreen::GoToCurrent(TListTab tab, uint32_t& recno) {
  recno = CurrentRecNo(tab);
  if (recno == 0 || TableOf(tab).Go(recno) != 0) {
    Beep();
    return false;
  }
  return true;
}

void TMainScreen::RefreshList(TListTab tab, uint32_t recno) {
  TTableListModel* model = ModelOf(tab);
  QTableView* view = ViewOf(tab);
  const int oldRow = view->currentIndex().isValid() ? view->currentIndex().row() : 0;
  model->Reload();
  int row = recno != 0 ? model->RowOfRecNo(recno) : -1;
  if (row < 0 && model->rowCount() > 0) row = std::min(oldRow, model->rowCount() - 1);
  if (row >= 0) view->selectRow(row);
}

std::string TMainScreen::OrderTag(TListTab tab) { return TableOf(tab).TagName(TableOf(tab).IndexOrd()); }

void TMainScreen::SortBy(TListTab tab, const std::string& tag) {
  xb::TTableEngine& table = TableOf(tab);
  const uint32_t recno = CurrentRecNo(tab);
  table.SetOrder(tag.empty() ? 0 : table.TagArea(tag));
  SyncSortChecks(tab);
  RefreshList(tab, recno);
}

void TMainScreen::SyncSortChecks(TListTab tab) {
  const std::string tag = OrderTag(tab);
  QMenu* menu = tab == TListTab::ltOutgoing ? outSortMenu_ : recSortMenu_;
  for (QAction* entry : menu->actions()) entry->setChecked(entry->data().toString().toStdString() == tag);
}

void TMainScreen::SettleOrder(TListTab tab, const char* defaultTag) {
  xb::TTableEngine& table = TableOf(tab);
  if (!table.IsOpen()) return;
  const bool hasRows = ModelOf(tab)->rowCount() > 0;
  if (!hasRows && table.IndexOrd() != 0) {
    SortBy(tab, "");
  } else if (hasRows && table.IndexOrd() == 0) {
    SortBy(tab, defaultTag);
    ViewOf(tab)->selectRow(0);
  }
}

void TMainScreen::Enable(TCommand command, bool enabled) {
  CommandControls& c = controls_[command];
  if (c.action != nullptr) c.action->setEnabled(enabled);
  if (c.button != nullptr) c.button->setEnabled(enabled);
}

void TMainScreen::SetButtons() {
  using C = TCommand;
  if (!outModel_ || closing_ || settingButtons_) return;
  settingButtons_ = true;
  // Orders first: an empty list goes to record order, a filled one in record order to
  // its date order; the enabling below then sees the rows as shown.
  SettleOrder(TListTab::ltOutgoing, "DATESENT");
  SettleOrder(TListTab::ltReceived, "DATETIME");
  SyncSortChecks(TListTab::ltOutgoing);
  SyncSortChecks(TListTab::ltReceived);
  const TListTab tab = CurrentTab();
  TListState state;
  state.tab = tab;
  state.receiveMode = receiveMode_;
  state.hasRow = CurrentRecNo(tab) != 0;
  if (tab == TListTab::ltOutgoing && state.hasRow && out_.Go(CurrentRecNo(tab)) == 0) {
    std::string cover;
    out_.GetString("FAXCOVER", cover);
    state.coverEmpty = cover.empty();
  }
  const TButtonStates b = ButtonStates(state);
  // A command carried out elsewhere is available only once that part is attached.
  const auto attached = [this](C c, bool rule) { return rule && IsAttached(c); };
  Enable(C::cmSort, b.sort);
  Enable(C::cmClone, b.clone);
  Button(C::cmClone)->setVisible(b.cloneVisible);
  Action(C::cmClone)->setVisible(b.cloneVisible);
  Enable(C::cmForward, b.forward);
  Button(C::cmForward)->setVisible(b.forwardVisible);
  Action(C::cmForward)->setVisible(b.forwardVisible);
  Enable(C::cmSend, attached(C::cmSend, b.send));
  Enable(C::cmNew, attached(C::cmNew, b.newCover));
  Enable(C::cmEdit, b.edit);
  Enable(C::cmDelete, b.del);
  Enable(C::cmView, attached(C::cmView, b.view));
  Enable(C::cmAddCover, attached(C::cmAddCover, b.addCover));
  Enable(C::cmArchive, b.archive);
  Enable(C::cmReceive, IsAttached(C::cmReceive));
  Enable(C::cmModemReset, IsAttached(C::cmModemReset) && !receiveMode_);
  Enable(C::cmRebuild, b.rebuild);
  Enable(C::cmPreferences, b.preferences);
  fileMenu_->setEnabled(b.fileMenu);
  SetArchiveCaptions();
  outView_->setEnabled(outModel_->rowCount() > 0);
  recView_->setEnabled(recModel_->rowCount() > 0);
  settingButtons_ = false;
}

void TMainScreen::SetArchiveCaptions() {
  const TListTab tab = CurrentTab();
  bool archived = false;
  const uint32_t recno = CurrentRecNo(tab);
  if (recno != 0 && TableOf(tab).Go(recno) == 0) TableOf(tab).GetLogical("ARCHIVED", archived);
  CommandControls& c = controls_[TCommand::cmArchive];
  c.button->setText(archived ? QStringLiteral("Un&Archive") : QStringLiteral("&Archive"));
  c.action->setText(c.button->text());
  c.hint = archived ? kUnarchiveHint : kArchiveHint;
  ApplyHints();
}

void TMainScreen::ApplyHints() {
  const bool on = Settings().HintsOn;
  for (auto& [command, c] : controls_) {
    const QString hint = on ? DisplayText(c.hint) : QString();
    if (c.button != nullptr) c.button->setToolTip(hint);
    if (c.action != nullptr) c.action->setToolTip(hint);
  }
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

void TMainScreen::FirstActivation() {
  if (!firstActivation_) return;
  // 1. Shown and placed.
  LoadPlacement(this, kClassName);
  show();
  // 2. Faxes printed to the driver while the program was not running.
  uint32_t remembered = 0;
  if (pickup_ && pickup_()) remembered = CurrentRecNo(TListTab::ltOutgoing);
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
  if (remembered != 0) RefreshList(TListTab::ltOutgoing, remembered);
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
  if (pickup_ && pickup_()) RefreshList(TListTab::ltOutgoing, CurrentRecNo(TListTab::ltOutgoing));
  SetButtons();
}

void TMainScreen::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void TMainScreen::SaveGridOrders() { ql::SaveGridOrders(*outView_, FieldsOf(OutColumns()), OutLayoutBase()); }

void TMainScreen::LoadGridOrders() { ql::LoadGridOrders(*outView_, FieldsOf(OutColumns()), OutLayoutBase()); }

void TMainScreen::closeEvent(QCloseEvent* event) {
  if (faxInProgress_ &&
      !AskYesNo(QStringLiteral("You are recieving a fax. Close the program?"), QStringLiteral("ALERT!"))) {
    event->ignore();
    return;
  }
  if (receiveMode_) {
    const auto stop = attached_.find(TCommand::cmReceive);
    if (stop != attached_.end() && stop->second) stop->second();  // the receive command stops receive mode
    receiveMode_ = false;
  }
  closing_ = true;
  if (tablesOpen_) SaveGridOrders();
  outView_->setModel(nullptr);
  recView_->setModel(nullptr);
  out_.Close();
  rec_.Close();
  SavePlacement(this, kClassName);
  event->accept();
}

}  // namespace ql
