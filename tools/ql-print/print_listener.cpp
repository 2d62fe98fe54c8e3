#include "tools/ql-print/print_listener.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QPointer>
#include <charconv>

#include "app/ui/message_boxes.h"
#include "tools/ql-print/desk_forward.h"
#include "tools/ql-print/driver_dialog.h"
#include "tools/ql-print/termination.h"

namespace ql::print {
namespace {

// A print job larger than this is refused rather than allowed to fill the disk.
constexpr qint64 kMaxDocument = qint64(1) << 30;

std::string OptionOr(const JobHeader& header, const char* name, const std::string& fallback) {
  const auto it = header.options.find(name);
  return it == header.options.end() || it->second.empty() ? fallback : it->second;
}

FaxDescriptor DescriptorOf(const JobHeader& header) {
  return {OptionOr(header, kOptionNumber, ""), OptionOr(header, kOptionRecipient, ""),
          OptionOr(header, kOptionSubject, header.title)};
}

}  // namespace

// A job as it arrives: its header, then its document into a private temporary file.
struct TPrintListener::Incoming {
  enum class Stage { inHeader, inChunkSize, inChunk, inDone };
  Stage stage = Stage::inHeader;
  QByteArray buffer;
  HeaderReader header;
  qint64 chunkLeft = 0;
  qint64 total = 0;
  int fd = -1;
  std::filesystem::path document;

  ~Incoming() {
    if (fd >= 0) ::close(fd);
    if (!document.empty()) {
      std::error_code ec;
      std::filesystem::remove(document, ec);
    }
  }
};

TPrintListener::TPrintListener(TListenerSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {}

TPrintListener::~TPrintListener() {
  if (server_) server_->close();
}

QString TPrintListener::SocketName() const { return QString::fromStdString(ListenerSocketName(::getuid())); }

bool TPrintListener::Listen() {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  if (!server_->listen(SocketName())) return false;
  connect(server_.get(), &QLocalServer::newConnection, this, &TPrintListener::OnConnection);
  return true;
}

void TPrintListener::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, socket] {
      incoming_.erase(socket);
      std::erase(received_, socket);
    });
    // Only the backend (root) and this user's own programs may hand in a fax.
    const auto peer = PeerUid(static_cast<int>(socket->socketDescriptor()));
    if (!peer || (*peer != 0 && *peer != ::getuid())) {
      Refuse(socket, "this fax listener takes jobs of its own user only");
      continue;
    }
    incoming_[socket] = std::make_unique<Incoming>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnData(socket); });
    if (socket->bytesAvailable() > 0) OnData(socket);
  }
}

void TPrintListener::Refuse(QLocalSocket* socket, const std::string& reason) {
  incoming_.erase(socket);
  socket->write(QByteArray::fromStdString("ERR " + OneLine(reason) + "\n"));
  socket->flush();
  socket->disconnectFromServer();
}

void TPrintListener::OnData(QLocalSocket* socket) {
  const auto it = incoming_.find(socket);
  if (it == incoming_.end()) return;
  Incoming& in = *it->second;
  in.buffer += socket->readAll();
  std::string error;
  while (in.stage != Incoming::Stage::inDone) {
    if (in.stage == Incoming::Stage::inChunk) {
      const qint64 n = std::min<qint64>(in.chunkLeft, in.buffer.size());
      if (n == 0) return;
      if (!WriteAllTo(in.fd, in.buffer.constData(), static_cast<size_t>(n), error)) return Refuse(socket, error);
      in.buffer.remove(0, n);
      in.chunkLeft -= n;
      if (in.chunkLeft == 0) in.stage = Incoming::Stage::inChunkSize;
      continue;
    }
    const qsizetype end = in.buffer.indexOf('\n');
    if (end < 0) {
      if (in.buffer.size() > 4096) return Refuse(socket, "the job's header is malformed");
      return;
    }
    const std::string line = in.buffer.left(end).toStdString();
    in.buffer.remove(0, end + 1);
    if (in.stage == Incoming::Stage::inHeader) {
      const HeaderReader::Step step = in.header.Feed(line);
      if (step == HeaderReader::Step::stError) return Refuse(socket, "the job's header is malformed");
      if (step == HeaderReader::Step::stDone) {
        in.fd = MakeTemporaryFile(in.document, error);
        if (in.fd < 0) return Refuse(socket, error);
        in.stage = Incoming::Stage::inChunkSize;
      }
      continue;
    }
    qint64 size = -1;
    const auto [rest, ec] = std::from_chars(line.data(), line.data() + line.size(), size);
    if (ec != std::errc() || rest != line.data() + line.size() || size < 0 || size > qint64(kMaxChunk))
      return Refuse(socket, "the job's data is malformed");
    if ((in.total += size) > kMaxDocument) return Refuse(socket, "the document is too large to fax");
    if (size == 0) {
      const bool closed = ::close(in.fd) == 0;
      in.fd = -1;
      if (!closed) return Refuse(socket, "cannot write the temporary file");
      in.stage = Incoming::Stage::inDone;
      received_.push_back(socket);
      QMetaObject::invokeMethod(this, &TPrintListener::Pump, Qt::QueuedConnection);
      return;
    }
    in.chunkLeft = size;
    in.stage = Incoming::Stage::inChunk;
  }
}

void TPrintListener::Pump() {
  if (pumping_) return;  // a conversion lets events run; the next job waits for it
  pumping_ = true;
  while (!received_.empty() && !TerminationRequested()) {
    QPointer<QLocalSocket> socket = received_.front();
    received_.pop_front();
    const auto it = incoming_.find(socket.data());
    if (it == incoming_.end()) continue;
    std::unique_ptr<Incoming> job = std::move(it->second);
    incoming_.erase(it);
    Process(socket, *job);
  }
  pumping_ = false;
}

void TPrintListener::Process(QLocalSocket* socketPointer, Incoming& in) {
  QPointer<QLocalSocket> socket(socketPointer);
  Job job{in.header.Header(), std::make_unique<TPreparedFax>()};
  const bool prepared = job.fax->Prepare(in.document, settings_.sendFolder, settings_.fine, [](int) {
    QCoreApplication::processEvents();
    return !TerminationRequested();
  });
  // The received document is gone before the backend hears the answer.
  std::error_code ec;
  std::filesystem::remove(in.document, ec);
  in.document.clear();
  std::string answer;
  if (!prepared) {
    answer = "ERR " + OneLine(job.fax->Error());
  } else if (!OptionOr(job.header, kOptionNumber, "").empty()) {
    // The job says where it goes: dropped at once, and the queue learns whether it worked.
    const DropResult dropped = job.fax->Drop(DescriptorOf(job.header));
    answer = dropped.ok ? "OK " + std::to_string(job.fax->Pages()) : "ERR " + OneLine(dropped.error);
    if (dropped.ok && settings_.openDesk) BringDeskForward(settings_.dataFolder, settings_.desk);
  } else {
    answer = "OK " + std::to_string(job.fax->Pages());
    waiting_.push_back(std::move(job));
  }
  if (socket) {
    socket->write(QByteArray::fromStdString(answer + "\n"));
    socket->flush();
    socket->disconnectFromServer();
  }
  ShowNextDialog();
}

void TPrintListener::ShowNextDialog() {
  if (shown_ || waiting_.empty()) return;
  shownJob_ = std::move(waiting_.front());
  waiting_.pop_front();
  shown_ = std::make_unique<TDriverDialog>(DescriptorOf(shownJob_.header), settings_.openDesk);
  shown_->SetReady(shownJob_.fax->Pages());
  connect(shown_.get(), &QDialog::finished, this, [this](int result) {
    if (result == QDialog::Accepted) {
      const DropResult dropped = shownJob_.fax->Drop(shown_->Values());
      if (!dropped.ok)
        ShowError(QString::fromStdString("The fax could not be put into the outgoing list: " + dropped.error));
      else if (shown_->OpenDesk())
        BringDeskForward(settings_.dataFolder, settings_.desk);
    }
    shownJob_.fax.reset();  // a fax not dropped is discarded
    shown_.release()->deleteLater();
    QMetaObject::invokeMethod(this, &TPrintListener::ShowNextDialog, Qt::QueuedConnection);
  });
  shown_->show();
  shown_->raise();
  shown_->activateWindow();
}

}  // namespace ql::print
