#pragma once
// The fax desk's main window: the outgoing and received lists on two tabs, a button
// bar, the menus and a status bar shown while something is under way. It opens the
// tables, loads the settings, makes the working folders, and carries every command on
// a fax row. Commands whose work belongs to other parts of the program (send, receive,
// cover sheets, view/print, modem reset, the printer-driver pickup) keep their places
// and stay disabled until that part attaches its operation.

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/fax_store/fax_store.h"
#include "app/main_window/button_rules.h"
#include "table_engine/table_engine.h"

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableView;

namespace ql {

class TTableListModel;

enum class TCommand {
  cmNew, cmAddCover, cmEdit, cmClone, cmDelete, cmArchive, cmForward, cmShowArchived, cmSend, cmReceive,
  cmView, cmSort, cmModemReset, cmPhoneBook, cmRebuild, cmPreferences, cmExit, cmContents,
  cmTroubleshooting, cmAbout, cmHints, cmQuickStart,
  cmEditCover,  // no control of its own: Edit on an outgoing row with a cover sheet
};

class TMainScreen : public QMainWindow {
  Q_OBJECT

 public:
  TMainScreen();
  ~TMainScreen() override;

  // False when a table could not be opened or created; the window then closes itself.
  bool TablesOpen() const { return tablesOpen_; }

  // Attaches the operation of a command that another part of the program carries out;
  // the command becomes available under the enabling rules.
  void AttachCommand(TCommand command, std::function<void()> operation);
  bool IsAttached(TCommand command) const;
  // The printer-driver pickup run at every activation (true when faxes were picked up),
  // and the driver-settings file written once at the first activation.
  void SetPickupHook(std::function<bool()> pickup) { pickup_ = std::move(pickup); }
  void SetDriverIniHook(std::function<void()> write) { writeDriverIni_ = std::move(write); }

  // Start-up steps after the window is shown, then the steps of every later activation.
  void FirstActivation();
  void LaterActivation();
  bool FirstRun() const { return firstRun_; }
  // Started minimised (ql --minimized): the first activation leaves the window minimised.
  void SetStartMinimized(bool minimized) { startMinimized_ = minimized; }
  // Another start of the program asked this window to come forward.
  void BringForward();

  // Receive mode and a fax in progress (set by the receive side).
  void SetReceiveMode(bool on);
  bool ReceiveMode() const { return receiveMode_; }
  void SetFaxInProgress(bool on) { faxInProgress_ = on; }
  bool FaxInProgress() const { return faxInProgress_; }

  void SetButtons();
  void SetArchiveCaptions();

  TListTab CurrentTab() const;
  void SelectTab(TListTab tab);
  void ToggleTab();

  xb::TTableEngine& OutTable() { return out_; }
  xb::TTableEngine& RecTable() { return rec_; }
  TTableListModel* OutModel() const { return outModel_.get(); }
  TTableListModel* RecModel() const { return recModel_.get(); }
  QTableView* OutView() const { return outView_; }
  QTableView* RecView() const { return recView_; }
  QAction* Action(TCommand command) const;
  QPushButton* Button(TCommand command) const;
  const std::string& ArchiveFilter() const { return archiveFilter_; }

  // The list's current row as a record number, 0 when the list has none.
  uint32_t CurrentRecNo(TListTab tab) const;
  // Reads a list again and puts its current row on recno (or near the old place).
  void RefreshList(TListTab tab, uint32_t recno);
  // Close and reopen the outgoing table (after an append), keeping order and row.
  void FaxTableCloseAndOpen();
  void SaveGridOrders();
  void LoadGridOrders();
  // Chooses a list's order by tag name ("" = record order) and moves the check mark.
  void SortBy(TListTab tab, const std::string& tag);

  // The fax list commands.
  void EditCurrent();
  void EditAPFFax();
  void EditReceivedFax();
  void CloneAPFFax();
  void DeleteCurrent();
  void DeleteFromSend();
  void DeleteFromRec();
  void ArchiveCurrent();
  void ForwardReceived();
  void ToggleShowArchived();
  void RebuildIndexes();
  void OpenPreferences(bool firstRun);
  void OpenPhoneBook();
  void ToggleHints();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct CommandControls {
    QAction* action = nullptr;
    QPushButton* button = nullptr;
    QString hint;
  };

  void BuildLists();
  void BuildCommands();
  void BuildMenus();
  void BuildButtonBar();
  void OpenTables();
  void ApplyArchiveFilter();
  void ApplyHints();
  void Run(TCommand command);
  QAction* MakeAction(TCommand command, const QString& text, const QKeySequence& shortcut, const QString& hint);
  void Enable(TCommand command, bool enabled);
  // Order rules of SetButtons for one list.
  void SettleOrder(TListTab tab, const char* defaultTag);
  // The sort menu's check mark on the list's current order.
  void SyncSortChecks(TListTab tab);
  // Moves the list's table to its current row; false (after a beep) when it has none.
  bool GoToCurrent(TListTab tab, uint32_t& recno);
  // The current row of a list, read. False (after a beep) when the list has none or,
  // for the received list, while a fax is coming in.
  bool CurrentOutgoing(OutgoingFax& row, uint32_t& recno);
  bool CurrentReceived(ReceivedFax& row, uint32_t& recno);
  xb::TTableEngine& TableOf(TListTab tab) { return tab == TListTab::ltOutgoing ? out_ : rec_; }
  TTableListModel* ModelOf(TListTab tab) const;
  QTableView* ViewOf(TListTab tab) const;
  std::string OrderTag(TListTab tab);

  xb::TTableEngine out_;
  xb::TTableEngine rec_;
  std::unique_ptr<TTableListModel> outModel_;
  std::unique_ptr<TTableListModel> recModel_;
  QTabWidget* tabs_ = nullptr;
  QTableView* outView_ = nullptr;
  QTableView* recView_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* outSortMenu_ = nullptr;
  QMenu* recSortMenu_ = nullptr;
  std::map<TCommand, CommandControls> controls_;
  std::map<TCommand, std::function<void()>> attached_;
  std::function<bool()> pickup_;
  std::function<void()> writeDriverIni_;

  bool tablesOpen_ = false;
  bool firstActivation_ = true;
  bool firstRun_ = false;
  bool receiveMode_ = false;
  bool faxInProgress_ = false;
  bool closing_ = false;
  bool startMinimized_ = false;
  bool settingButtons_ = false;
  std::string archiveFilter_;
};

// The column layout files of the outgoing list, in the data folder ("Out" + ...).
std::filesystem::path OutLayoutBase();

}  // namespace ql
