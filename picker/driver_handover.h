#pragma once
// The hand-over between the picker and the fax printer driver's dialog. The dialog,
// titled "Quillet Printer Driver", listens on a local socket named after its title and
// the user; the picker connects and sends one line per request, UTF-8:
//
//   SETTEXT <control> <text>   put text into the dialog's control (102 the fax number,
//                              103 the recipient's name)
//   RAISE                      restore the dialog if minimised and bring it to the top
//
// The dialog answers each line with "OK" or "ERR". Line breaks inside a text become
// blanks, since every control is one line.

#include <QLocalServer>
#include <QMap>
#include <QPointer>
#include <QString>
#include <memory>

class QLineEdit;
class QWidget;

namespace ql {

inline constexpr const char* kDriverDialogTitle = "Quillet Printer Driver";
inline constexpr int kDriverPhoneControl = 102;
inline constexpr int kDriverNameControl = 103;

// The socket name of the driver dialog of this user ("Quillet Printer Driver-<uid>"),
// or the value of QUILLET_DRIVER_SOCKET when that is set.
QString DriverDialogSocketName();

enum class THandOverResult { hoDone, hoNoDialog, hoRefused };

// Sends the number and the name to the driver dialog and asks it to come forward.
THandOverResult HandOverToDriverDialog(const QString& phone, const QString& name, int timeoutMs = 3000);

// The dialog's side: serves the requests for a window and its numbered line edits.
class TDriverDialogListener : public QObject {
  Q_OBJECT

 public:
  TDriverDialogListener(QWidget* dialog, QMap<int, QLineEdit*> controls, QObject* parent = nullptr);
  ~TDriverDialogListener() override;
  // Starts listening; false when another dialog of this user already listens.
  bool Listen();

 private:
  void OnConnection();
  QByteArray Handle(const QString& line);

  QPointer<QWidget> dialog_;
  QMap<int, QPointer<QLineEdit>> controls_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace ql
