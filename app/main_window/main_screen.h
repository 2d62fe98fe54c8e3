#pragma once
// The fax desk's main window: the outgoing and received lists on two tabs, a button
// bar, the menus and a status bar shown while something is under way. It opens the
// tables, loads the settings, makes the working folders, and carries every command of
// the command table. Commands whose work belongs to other parts of the program (send,
// receive, view/print, modem reset, the printer-driver pickup) keep their places and
// stay disabled until that part attaches its operation.

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_window/command_table.h"
#include "app/main_window/fax_list.h"

class QAction;
class QPushButton;
class QTabWidget;
class QTableView;

namespace ql {

class TCommandControls;

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
  // Runs an attached operation; false when none is attached.
  bool RunAttached(TCommand command);
  // The printer-driver pickup run at every activation (true when faxes were picked up),
  // and the driver-settings file written once at the first activation.
  void SetPickupHook(std::function<bool()> pickup) { pickup_ = std::move(pickup); }
  void SetDriverIniHook(std::function<void()> write) { writeDriverIni_ = std::move(write); }
  // Runs after Delete removed the body of an outgoing row (or the whole row), with the
  // row's file names as they were: what else belongs to that fax goes too.
  using TFaxFilesRemovedHook = std::function<void(const std::string& faxDoc, const std::string& faxCover)>;
  void SetFaxFilesRemovedHook(TFaxFilesRemovedHook hook) { filesRemoved_ = std::move(hook); }
  void FaxFilesRemoved(const std::string& faxDoc, const std::string& faxCover) const {
    if (filesRemoved_) filesRemoved_(faxDoc, faxCover);
  }

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
  TFaxList& List(TListTab tab) const { return *lists_[static_cast<size_t>(tab)]; }
  TFaxList& ShownList() const { return List(CurrentTab()); }

  xb::TTableEngine& OutTable() { return List(TListTab::ltOutgoing).Table(); }
  xb::TTableEngine& RecTable() { return List(TListTab::ltReceived).Table(); }
  TTableListModel* OutModel() const { return List(TListTab::ltOutgoing).Model(); }
  TTableListModel* RecModel() const { return List(TListTab::ltReceived).Model(); }
  QTableView* OutView() const { return List(TListTab::ltOutgoing).View(); }
  QTableView* RecView() const { return List(TListTab::ltReceived).View(); }
  QAction* Action(TCommand command) const;
  QPushButton* Button(TCommand command) const;
  const std::string& ArchiveFilter() const { return archiveFilter_; }

  // Close and reopen the outgoing table (after an append), keeping order and row.
  void FaxTableCloseAndOpen();
  void SaveGridOrders();
  void LoadGridOrders();

  // The window's own commands (the commands on rows are TRowCommands).
  void EditCurrent();
  void DeleteCurrent();
  void ToggleShowArchived();
  void PopUpSortMenu();
  void RebuildIndexes();
  void OpenPreferences(bool firstRun);
  void OpenPhoneBook();
  void ToggleHints();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLists();
  void BuildCommands();
  void OpenTables();
  void ApplyHints();
  void Run(TCommand command);
  void ChooseSort(TFaxList& list, const std::string& tag);
  TListState ShownState() const;

  std::array<std::unique_ptr<TFaxList>, 2> lists_;  // by TListTab, in tab order
  std::unique_ptr<TCommandControls> commands_;
  QTabWidget* tabs_ = nullptr;
  std::map<TCommand, std::function<void()>> attached_;
  std::function<bool()> pickup_;
  std::function<void()> writeDriverIni_;
  TFaxFilesRemovedHook filesRemoved_;

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

}  // namespace ql
