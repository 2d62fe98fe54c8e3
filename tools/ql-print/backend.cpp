// quillet-fax: the CUPS backend of the "Quillet-Fax" printer queue. CUPS runs it as root
// (its file is mode 0700) for every job:
//   quillet-fax JOB-ID USER TITLE COPIES OPTIONS [FILE]
// and it hands the document (FILE, or standard input) to USER's own ql-print listener,
// which turns it into a fax in USER's send folder. It keeps no copy of the document: the
// bytes go straight from CUPS to the listener. A job whose user runs no listener, or whose
// listener socket is held by someone else, fails with a message CUPS shows in the queue.
// Without arguments it names the device it serves, as CUPS asks of every backend.

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/ql-print/job_protocol.h"

namespace {

// Exit codes CUPS knows.
constexpr int kBackendOk = 0;
constexpr int kBackendFailed = 1;  // the job fails; the queue's error policy aborts it

constexpr int kAnswerTimeoutMs = 15 * 60 * 1000;  // converting a long document takes a while

int Fail(const std::string& message) {
  std::fprintf(stderr, "ERROR: %s\n", message.c_str());
  return kBackendFailed;
}

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

int ConnectToListener(uid_t uid) {
  const std::string name = ql::print::ListenerSocketName(uid);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path + 1, name.data(), name.size());  // abstract: leading zero byte
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Copies the document in chunks; false when the listener went away.
bool SendDocument(int from, int to) {
  static char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    const std::string size = std::to_string(n) + "\n";
    if (!WriteAll(to, size.data(), size.size())) return false;
    if (n == 0) return true;
    if (!WriteAll(to, buffer, static_cast<size_t>(n))) return false;
  }
}

// The listener's one-line answer, or empty when none came.
std::string ReadAnswer(int fd) {
  std::string line;
  pollfd p{fd, POLLIN, 0};
  while (line.size() < 4096) {
    if (::poll(&p, 1, kAnswerTimeoutMs) <= 0) return {};
    char c;
    const ssize_t n = ::recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    if (c == '\n') return line;
    line += c;
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) {
    std::printf("direct quillet-fax \"Quillet Fax\" \"Quillet Fax\"\n");
    return kBackendOk;
  }
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "Usage: quillet-fax JOB-ID USER TITLE COPIES OPTIONS [FILE]\n");
    return kBackendFailed;
  }
  const std::string user = argv[2];
  const passwd* account = ::getpwnam(user.c_str());
  if (account == nullptr) return Fail("no user \"" + user + "\" on this computer to fax for");
  const uid_t uid = account->pw_uid;

  int document = STDIN_FILENO;
  if (argc == 7) {
    document = ::open(argv[6], O_RDONLY | O_CLOEXEC);
    if (document < 0) return Fail(std::string("cannot read the job's file: ") + std::strerror(errno));
  }

  const int listener = ConnectToListener(uid);
  if (listener < 0)
    return Fail("Quillet is not running for " + user +
                ": start the Quillet fax desk (or ql-print --listen), then print again");
  const auto peer = ql::print::PeerUid(listener);
  if (!peer || *peer != uid) {
    ::close(listener);
    return Fail("the fax listener for " + user + " is not run by " + user + "; the job was not handed over");
  }

  ql::print::JobHeader header;
  header.title = argv[3];
  header.options = ql::print::FaxOptionsOf(argv[5]);
  const std::string text = ql::print::EncodeHeader(header);
  if (!WriteAll(listener, text.data(), text.size()) || !SendDocument(document, listener)) {
    ::close(listener);
    return Fail("the fax listener of " + user + " stopped taking the job");
  }
  std::fprintf(stderr, "INFO: Preparing the fax\n");
  const std::string answer = ReadAnswer(listener);
  ::close(listener);
  if (answer.starts_with("OK")) {
    std::fprintf(stderr, "INFO: Handed to Quillet for %s\n", user.c_str());
    return kBackendOk;
  }
  if (answer.starts_with("ERR ")) return Fail(answer.substr(4));
  return Fail("the fax listener of " + user + " gave no answer");
}
