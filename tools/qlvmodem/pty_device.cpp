#include "tools/qlvmodem/pty_device.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <system_error>

namespace ql::vmodem {

namespace {
constexpr size_t kQueueLimit = 64 * 1024;

[[noreturn]] void Fail(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }
}  // namespace

PtyDevice::PtyDevice(const std::filesystem::path& link) : link_(link) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) Fail("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    int saved = errno;
    ::close(master_);
    errno = saved;
    Fail("unlockpt");
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    Fail("ptsname");
  }
  slavePath_ = name;
  // A cooked slave would echo the modem's own replies back as commands: make it raw
  // once; the setting stays after the slave is closed.
  int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave >= 0) {
    struct termios tio {};
    if (::tcgetattr(slave, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::cfsetspeed(&tio, B115200);
      ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);
  }
  std::error_code ec;
  std::filesystem::remove(link_, ec);
  std::filesystem::create_symlink(slavePath_, link_, ec);
  if (ec) {
    ::close(master_);
    throw std::system_error(ec, "symlink " + link_.string());
  }
}

PtyDevice::~PtyDevice() {
  std::error_code ec;
  if (std::filesystem::is_symlink(link_, ec) && std::filesystem::read_symlink(link_, ec) == slavePath_)
    std::filesystem::remove(link_, ec);
  if (master_ >= 0) ::close(master_);
}

bool PtyDevice::UpdateAttached() {
  struct pollfd p {master_, POLLIN, 0};
  ::poll(&p, 1, 0);
  bool now = (p.revents & POLLHUP) == 0;
  if (now == attached_) return false;
  attached_ = now;
  if (attached_) {
    // What was written for an earlier program must not reach this one.
    ::tcflush(master_, TCOFLUSH);
    queue_.clear();
  }
  return true;
}

size_t PtyDevice::Read(uint8_t* buffer, size_t capacity) {
  if (!attached_ || capacity == 0) return 0;
  ssize_t n = ::read(master_, buffer, capacity);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void PtyDevice::Write(const void* data, size_t length) {
  if (!attached_) return;
  size_t room = queue_.size() < kQueueLimit ? kQueueLimit - queue_.size() : 0;
  queue_.append(static_cast<const char*>(data), std::min(length, room));
  Flush();
}

void PtyDevice::Flush() {
  while (!queue_.empty() && attached_) {
    ssize_t n = ::write(master_, queue_.data(), queue_.size());
    if (n <= 0) break;
    queue_.erase(0, static_cast<size_t>(n));
  }
}

bool PtyDevice::ProgramUsesSoftwareFlow() const {
  struct termios tio {};
  return ::tcgetattr(master_, &tio) == 0 && (tio.c_iflag & IXON) != 0;
}

bool PtyDevice::ProgramDroppedDtr() const {
  struct termios tio {};
  return ::tcgetattr(master_, &tio) == 0 && ::cfgetospeed(&tio) == B0;
}

}  // namespace ql::vmodem
