#pragma once
// The data folder and its working folders and files. Every file of the program is
// addressed relative to the data folder; nothing comes from the current directory.

#include <filesystem>
#include <string>
#include <string_view>

namespace ql {

// The data folder as text, always ending in a separator.
std::string AppFolder();
std::filesystem::path AppFolderPath();

// Creates "SEND" and "Receive" (with missing parents) under the data folder. A failure
// for either is ignored and does not stop the other.
void EnsureWorkFolders();

// The working folders. A folder that already exists under another spelling ("send",
// "RECEIVE") is used as it is, since the names are meant without regard to case.
std::filesystem::path SendFolder();
std::filesystem::path ReceiveFolder();
std::filesystem::path CoversFolder();

// folder / prefix + five digits + ".APF" for the first number 00000..99999 whose name
// does not exist (in any case); 99999 is returned whether or not it exists.
std::filesystem::path NextFreeFaxName(const std::filesystem::path& folder, std::string_view prefix);
// The same in the send folder, and directly in the data folder.
std::filesystem::path NextFreeSendName(std::string_view prefix);
std::filesystem::path NextFreeWorkName(std::string_view prefix);

// Copies a fax file. Equal names (compared exactly) copy nothing and give false; a
// missing source or a failed write gives false and leaves no partial target behind.
bool CopyFaxFile(const std::filesystem::path& source, const std::filesystem::path& target);

// The text without leading and trailing spaces (only the space character counts).
std::string TrimBoth(std::string_view text);

}  // namespace ql
