#pragma once
// Find Modem: tries COM1 to COM6 for a modem that answers "AT" with "OK", then every
// serial device of the machine that no port number names, and tells which port to use.

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ql {

class TComPort;

// What one try found: the text after "Com n: ", whether a modem answered and whether
// the port was in use.
struct TProbeResult {
  std::string text;
  bool modem = false;
  bool busy = false;
  std::string note;  // a longer explanation (no permission) for below the labels
};

// Tries port number comNumber on the port component: open, "AT", about 1 s for "OK",
// close. Never throws.
TProbeResult ProbePort(TComPort& port, int comNumber);
// The same for a device path that no port number names.
TProbeResult ProbeDevice(TComPort& port, const std::string& device);

// The result texts of a search.
std::string FindModemResultText(int found, bool busySeen);

class TFindModemForm : public QDialog {
  Q_OBJECT

 public:
  // devices: the serial devices no port number names (tried after the six ports).
  TFindModemForm(QWidget* parent, TComPort& port, std::vector<std::string> devices);

  // The first port number on which a modem answered, or -1.
  int FindResult() const { return found_; }
  // A device without port number on which a modem answered, or empty.
  const std::string& FoundDevice() const { return foundDevice_; }
  bool Finished() const { return finished_; }
  QLabel* PortLabel(int n) const { return labels_[n - 1]; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RunSearch();

  TComPort& port_;
  std::vector<std::string> devices_;
  std::vector<QLabel*> labels_;
  QVBoxLayout* layout_;
  QLabel* result_;
  QPushButton* ok_;
  int found_ = -1;
  std::string foundDevice_;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace ql
