#pragma once
// TFaxPrinterLog: the print log. Each event of a print job (started, finished, aborted,
// failed) appends a line to the file "FAXPRINT.LOG" (a relative name lies in the data
// folder); an empty name turns logging off.

#include <QObject>
#include <filesystem>
#include <string>

namespace ql {

enum TFaxPLCode { lcStart = 0, lcFinish = 1, lcAborted = 2, lcFailed = 3 };

class TFaxPrinterLog : public QObject {
  Q_OBJECT

 public:
  explicit TFaxPrinterLog(QObject* owner = nullptr) : QObject(owner) {}

  const std::string& LogFileName() const { return logFileName_; }
  void SetLogFileName(const std::string& name) { logFileName_ = name; }
  // The file written to: the name as it stands when absolute, else in the data folder.
  std::filesystem::path LogPath() const;

  // Appends the line of one event for the given fax file. Raises EInOutError when the
  // file cannot be opened or written.
  void UpdateLog(TFaxPLCode code, const std::string& faxFile);

 private:
  std::string logFileName_ = "FAXPRINT.LOG";
};

// The line of one event, line ends included ("finished" and the like are followed by a
// blank line).
std::string PrintLogLine(TFaxPLCode code, const std::string& faxFile, const std::string& dateTime);

}  // namespace ql
