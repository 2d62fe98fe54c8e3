#pragma once
// What ql-print does with a document, with or without its dialog: the document turned
// into an APF fax under a work name in the send folder, then dropped there with its
// descriptor for the fax desk to pick up.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/pickup/driver_drop.h"

namespace ql::print {

// The send folder to drop into: the data folder's when one was chosen (--home or
// QUILLET_HOME), else the one the desk named in QLPD.INI, else the default data folder's.
std::filesystem::path DriverSendFolder(bool dataFolderChosen);
// Whether --home or QUILLET_HOME chose the data folder (call before InitDataFolder takes
// --home out of the arguments).
bool DataFolderChosen(const std::vector<std::string>& args);

// A fax being prepared for the driver: its work file in the send folder, deleted by
// Discard or taken over by Drop.
class TPreparedFax {
 public:
  TPreparedFax() = default;
  ~TPreparedFax();
  TPreparedFax(const TPreparedFax&) = delete;
  TPreparedFax& operator=(const TPreparedFax&) = delete;

  // Converts the document (PDF or PostScript) at fax resolution, fine or normal. `progress`
  // is told each page done and returns false to stop. False with Error() on failure.
  bool Prepare(const std::filesystem::path& document, const std::filesystem::path& sendFolder, bool fine,
               const std::function<bool(int)>& progress = {});
  bool Ready() const { return ready_; }
  int Pages() const { return pages_; }
  const std::string& Error() const { return error_; }

  // Puts the fax and its descriptor into the send folder; afterwards nothing is left to
  // discard.
  DropResult Drop(const FaxDescriptor& descriptor);
  void Discard();

 private:
  std::filesystem::path sendFolder_, work_;
  bool ready_ = false;
  int pages_ = 0;
  std::string error_;
};

// A new private temporary file (mode 0600, in $TMPDIR) open for writing: its descriptor and
// path, or -1 with the reason in `error`.
int MakeTemporaryFile(std::filesystem::path& path, std::string& error);
// Writes all of data; false (with the reason in `error`) when the file takes less.
bool WriteAllTo(int fd, const char* data, size_t length, std::string& error);
// Copies everything readable from fd into a new private temporary file; its path, or an
// empty path with the reason in `error`.
std::filesystem::path SaveToTemporaryFile(int fd, std::string& error);

}  // namespace ql::print
