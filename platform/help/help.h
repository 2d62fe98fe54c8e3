#pragma once
// Help pages by topic number. Each window passes the topic of its page; the page is
// shown in one shared help window, and an unknown topic shows the contents page.

#include <QString>

namespace ql {

inline constexpr int kHelpContents = 1009;
inline constexpr int kHelpTroubleshooting = 1032;
inline constexpr int kHelpPhoneBook = 1019;
inline constexpr int kHelpPhoneBookEditor = 1020;
inline constexpr int kHelpPreferences = 1022;
inline constexpr int kHelpSendFax = 1016;
inline constexpr int kHelpModemReset = 1027;
inline constexpr int kHelpFaxViewer = 1021;
inline constexpr int kHelpCoverEditor = 1029;
inline constexpr int kHelpCoverTemplates = 1030;
inline constexpr int kHelpPrinterDriver = 1045;  // ql-print's "Quillet Printer Driver" dialog

// The file of a topic's page, or of the contents page when the topic has none: the installed
// page (see InstalledDataFolder), else the one built into the program (a ":/help/" resource).
QString HelpPagePath(int topic);

// Opens (or brings forward) the help window on a topic.
void ShowHelp(int topic);

}  // namespace ql
