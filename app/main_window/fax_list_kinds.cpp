// The two lists of the main window: the outgoing faxes and the received faxes.

#include "app/fax_store/fax_store.h"
#include "app/main_window/fax_list.h"
#include "app/settings/work_folders.h"

namespace ql {

std::filesystem::path OutLayoutBase() {
  return AppFolderPath() / "Out";
}

const TFaxListKind& OutgoingListKind() {
  static const TFaxListKind kind{
      .tab = TListTab::ltOutgoing,
      .tabLabel = "Out&going Faxes",
      .objectName = "outgoingList",
      .columns = {{"SUBJECT", QStringLiteral("Subject")},
                  {"DATESENT", QStringLiteral("Date Sent")},
                  {"TIMESENT", QStringLiteral("Time Sent")},
                  {"RECIPIENT", QStringLiteral("Recipient")},
                  {"PHONE", QStringLiteral("Fax#")},
                  {"LASTRESULT", QStringLiteral("Last Attempt")},
                  {"NOTES", QStringLiteral("Notes")},
                  {"CODES", QStringLiteral("Codes")}},
      .widths = {220, 90, 70, 150, 110, 170, 160, 100},
      .dateOrder = "DATESENT",
      .sortChoices = {{"&Date Sent", "DATESENT"}, {"&Subject", "SUBJECT"}, {"&Recipient", "RECIPIENT"}},
      .nameField = "SUBJECT",
      .busyWhileFaxArrives = false,
      .open = OpenFaxDBF,
      .openFailure = "Unable to open/create the FAX datafile - closing program",
      .layoutBase = OutLayoutBase,
  };
  return kind;
}

const TFaxListKind& ReceivedListKind() {
  static const TFaxListKind kind{
      .tab = TListTab::ltReceived,
      .tabLabel = "&Incoming Faxes",
      .objectName = "receivedList",
      .columns = {{"DATEREC", QStringLiteral("Date Rec'd")},
                  {"TIMEREC", QStringLiteral("Time Rec'd")},
                  {"FROM", QStringLiteral("From")},
                  {"PAGES", QStringLiteral("Pages")},
                  {"NOTES", QStringLiteral("Notes")}},
      .widths = {90, 80, 170, 60, 300},
      .dateOrder = "DATETIME",
      .sortChoices = {{"Date Received", "DATETIME"}, {"From", "FROM"}},
      .nameField = "FROM",
      .busyWhileFaxArrives = true,
      .open = OpenRecFaxDBF,
      .openFailure = "Unable to open/create the FAX RECEIVE datafile - closing program",
      .layoutBase = nullptr,
  };
  return kind;
}

}  // namespace ql
