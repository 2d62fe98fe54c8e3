#include "tools/ql-print/fax_printing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/settings/work_folders.h"
#include "fax_document/imports/document_import.h"
#include "platform/data_folder.h"

namespace ql::print {

bool DataFolderChosen(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg == "--home" || arg.starts_with("--home=")) return true;
  const char* home = std::getenv("QUILLET_HOME");
  return home != nullptr && home[0] != '\0';
}

std::filesystem::path DriverSendFolder(bool dataFolderChosen) {
  if (!dataFolderChosen) {
    if (const auto location = ReadDriverIni(); location && !location->outPath.empty()) {
      std::filesystem::path folder = location->outPath;
      if (folder.filename().empty()) folder = folder.parent_path();  // the trailing separator
      return folder;
    }
  }
  EnsureWorkFolders();
  return SendFolder();
}

TPreparedFax::~TPreparedFax() { Discard(); }

bool TPreparedFax::Prepare(const std::filesystem::path& document, const std::filesystem::path& sendFolder,
                           bool fine, const std::function<bool(int)>& progress) {
  Discard();
  std::error_code ec;
  std::filesystem::create_directories(sendFolder, ec);
  const std::string kind = DocumentKind(document);
  if (kind != "pdf" && kind != "postscript") {
    error_ = "ql-print takes PDF and PostScript documents; " + document.string() + " is neither";
    return false;
  }
  sendFolder_ = sendFolder;
  work_ = DriverWorkName(sendFolder);
  ImportOptions options;
  options.fine = fine;
  options.progress = progress;
  const ImportResult result = ImportDocument(document, work_, options);
  if (!result.ok) {
    error_ = result.error.empty() ? "the document could not be converted" : result.error;
    work_.clear();
    return false;
  }
  pages_ = result.pages;
  ready_ = true;
  return true;
}

DropResult TPreparedFax::Drop(const FaxDescriptor& descriptor) {
  if (!ready_) return DropResult{false, {}, error_.empty() ? "no fax has been prepared" : error_};
  DropResult result = DropDriverFax(sendFolder_, work_, descriptor);
  if (result.ok) {
    work_.clear();
    ready_ = false;
  }
  return result;
}

void TPreparedFax::Discard() {
  if (!work_.empty()) {
    std::error_code ec;
    std::filesystem::remove(work_, ec);
    work_.clear();
  }
  ready_ = false;
}

int MakeTemporaryFile(std::filesystem::path& path, std::string& error) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ql-print-XXXXXX").string();
  const int fd = ::mkstemp(pattern.data());  // mode 0600: the document is the user's own
  if (fd < 0) {
    error = std::string("cannot make a temporary file: ") + std::strerror(errno);
    return -1;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  path = pattern;
  return fd;
}

bool WriteAllTo(int fd, const char* data, size_t length, std::string& error) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::string("cannot write the temporary file: ") + std::strerror(n < 0 ? errno : ENOSPC);
      return false;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

std::filesystem::path SaveToTemporaryFile(int fd, std::string& error) {
  std::filesystem::path path;
  const int out = MakeTemporaryFile(path, error);
  if (out < 0) return {};
  char buffer[64 * 1024];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = std::string("cannot read the document: ") + std::strerror(errno);
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (!(ok = WriteAllTo(out, buffer, static_cast<size_t>(n), error))) break;
  }
  if (::close(out) != 0 && ok) {
    error = std::string("cannot write the temporary file: ") + std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(path.c_str());
    return {};
  }
  return path;
}

}  // namespace ql::print
