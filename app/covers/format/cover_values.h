#pragma once
// What a cover sheet says besides its template: the recipient, the subject, the sender,
// the moment it was saved, the message and the importance flags. Data-field items of a
// template draw one of these values; the flag line and the message box draw the rest.

#include <array>
#include <string>
#include <string_view>

#include "app/covers/format/cover_description.h"

namespace ql {

struct TSettings;

// Values of a data-field item (its value 17). Any other number draws the item's text.
enum TCoverDataField : int32_t {
  dfDate = 0,            // the short date of the moment the sheet was saved
  dfTime = 1,            // the time of that moment
  dfRegarding = 2,
  dfRecipient = 3,
  dfRecipientFax = 4,
  dfSenderName = 5,
  dfSenderCompany = 6,
  dfSenderFax = 7,
  dfSenderVoice = 8,
};
inline constexpr int kCoverDataFieldCount = 9;

struct TCoverValues {
  std::string Date, Time;
  std::string Regarding, Recipient, RecipientFax;
  std::string SenderName, SenderCompany, SenderFax, SenderVoice;
  std::string Message;  // lines joined with "\n"
  TImportanceFlags Flags{};
};

// The sender's four values from the settings (User Name, Company, Fax, Voice).
void TakeSenderValues(const TSettings& settings, TCoverValues& values);

// The text a data-field item draws: the chosen value, or the item's own text for a
// number that names no value.
const std::string& DataFieldText(const TCoverValues& values, int32_t field, const std::string& itemText);

// The importance-flag line: the text drawn, and for each flag the part of it that stands
// before the place of its "X" (up to and including the flag's "[").
inline constexpr std::string_view kFlagLineText =
    "[  ]Urgent     [  ]For Review     [  ]Please Comment     [  ]Please Reply     [  ]Please Recycle";
std::string_view FlagMarkPrefix(int flag);

// The flags' names as the editor's check boxes show them.
inline constexpr std::array<const char*, kImportanceFlagCount> kFlagNames = {
    "Urgent", "For Review", "Please Comment", "Please Reply", "Please Recycle"};

}  // namespace ql
