#include "fax_document/ui/fax_printer_log.h"

#include <QDateTime>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/data_folder.h"
#include "serial/errors/exceptions.h"

namespace ql {

std::string PrintLogLine(TFaxPLCode code, const std::string& faxFile, const std::string& dateTime) {
  static const char* const kWords[] = {" started at ", " finished at ", " aborted at ", " failed at "};
  std::string line = "Printing " + faxFile + kWords[code] + dateTime;
  if (code != lcStart) line += "\r\n";
  return line + "\r\n";
}

std::filesystem::path TFaxPrinterLog::LogPath() const {
  const std::filesystem::path name(logFileName_);
  return name.is_absolute() ? name : DataFolder() / name;
}

void TFaxPrinterLog::UpdateLog(TFaxPLCode code, const std::string& faxFile) {
  if (logFileName_.empty()) return;
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  const std::string stamp = (locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                             locale.toString(now.time(), QLocale::LongFormat))
                                .toStdString();
  const std::string line = PrintLogLine(code, faxFile, stamp);
  const std::filesystem::path path = LogPath();
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) throw EInOutError(path.string() + ": " + std::strerror(errno), errno);
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  const int error = errno;
  if (std::fclose(file) != 0 || !written)
    throw EInOutError(path.string() + ": " + std::strerror(written ? errno : error), written ? errno : error);
}

}  // namespace ql
