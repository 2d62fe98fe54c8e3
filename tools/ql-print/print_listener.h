#pragma once
// ql-print --listen: the user's end of the fax printer. The CUPS backend hands each job
// printed by this user here (see job_protocol.h); the document is turned into a fax at
// once, so a document that cannot be read fails in the print queue, and then the driver
// dialog asks for its number, recipient and subject, one job at a time. A job that names
// its number (lp -o fax-number=...) is dropped without asking.

#include <QLocalServer>
#include <QObject>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>

#include "tools/ql-print/fax_printing.h"
#include "tools/ql-print/job_protocol.h"

class QLocalSocket;

namespace ql::print {

class TDriverDialog;

struct TListenerSettings {
  std::filesystem::path sendFolder;
  std::filesystem::path dataFolder;  // the desk's, for "open the fax desk"
  std::filesystem::path desk;        // the desk's program file (empty: ql beside ql-print)
  bool fine = true;
  bool openDesk = false;
};

class TPrintListener : public QObject {
  Q_OBJECT

 public:
  explicit TPrintListener(TListenerSettings settings, QObject* parent = nullptr);
  ~TPrintListener() override;

  // False when another listener of this user already listens (or the socket is refused).
  bool Listen();
  QString SocketName() const;

  // Jobs whose dialog has not been answered yet (the one shown included).
  size_t WaitingJobs() const { return waiting_.size() + (shown_ ? 1 : 0); }

 private:
  struct Incoming;
  struct Job {
    JobHeader header;
    std::unique_ptr<TPreparedFax> fax;
  };

  void OnConnection();
  void OnData(QLocalSocket* socket);
  void Refuse(QLocalSocket* socket, const std::string& reason);
  // Converts the received documents one after the other, answering each backend.
  void Pump();
  void Process(QLocalSocket* socket, Incoming& job);
  void ShowNextDialog();

  TListenerSettings settings_;
  std::unique_ptr<QLocalServer> server_;
  std::map<QLocalSocket*, std::unique_ptr<Incoming>> incoming_;
  std::deque<QLocalSocket*> received_;  // whole documents waiting for conversion
  bool pumping_ = false;
  std::deque<Job> waiting_;
  std::unique_ptr<TDriverDialog> shown_;
  Job shownJob_;
};

}  // namespace ql::print
