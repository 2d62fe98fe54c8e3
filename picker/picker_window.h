#pragma once
// The picker's one window: the shared phone book in pick mode, captioned for the fax
// printer driver. Accept hands the entry to the driver's dialog and ends the picker;
// when no dialog can be found the picker says so and stays open.

#include <memory>

#include "app/phonebook/phone_book.h"

namespace ql {

inline constexpr const char* kPickerCaption = "Quillet Printer Driver - Select Phone Number ";

// Opens the phone book (creating it when missing). Nothing when it cannot be opened,
// after the message has been shown.
std::unique_ptr<TPhoneBook> MakePickerWindow();

}  // namespace ql
