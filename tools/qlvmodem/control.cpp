#include "tools/qlvmodem/control.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace ql::vmodem {

namespace {
constexpr size_t kLongestCommand = 4096;

sockaddr_un Address(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + text);
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

// A complete answer ends with a line that starts with OK or ERROR.
bool AnswerComplete(const std::string& text) {
  if (text.empty() || text.back() != '\n') return false;
  size_t start = text.rfind('\n', text.size() - 2);
  start = start == std::string::npos ? 0 : start + 1;
  return text.compare(start, 2, "OK") == 0 || text.compare(start, 5, "ERROR") == 0;
}
}  // namespace

ControlServer::ControlServer(const std::filesystem::path& path, Handler handler)
    : path_(path), handler_(std::move(handler)) {
  sockaddr_un address = Address(path);
  listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
  ::unlink(path.c_str());
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listen_, 8) != 0) {
    int saved = errno;
    ::close(listen_);
    throw std::system_error(saved, std::generic_category(), "bind " + path.string());
  }
}

ControlServer::~ControlServer() {
  for (auto& client : clients_) ::close(client.fd);
  if (listen_ >= 0) ::close(listen_);
  ::unlink(path_.c_str());
}

void ControlServer::AddPollFds(std::vector<pollfd>& fds) const {
  fds.push_back({listen_, POLLIN, 0});
  for (const auto& client : clients_)
    fds.push_back({client.fd, static_cast<short>(client.output.empty() ? POLLIN : POLLIN | POLLOUT), 0});
}

void ControlServer::Service() {
  for (;;) {
    int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    clients_.push_back({fd, {}, {}});
  }
  for (size_t i = 0; i < clients_.size(); ++i) {
    Client& client = clients_[i];
    bool closed = false;
    char buffer[1024];
    for (;;) {
      ssize_t n = ::read(client.fd, buffer, sizeof buffer);
      if (n > 0) {
        client.input.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) closed = true;
      break;
    }
    size_t end;
    while ((end = client.input.find('\n')) != std::string::npos) {
      std::string command = client.input.substr(0, end);
      client.input.erase(0, end + 1);
      if (!command.empty() && command.back() == '\r') command.pop_back();
      client.output += handler_(command);
    }
    if (client.input.size() > kLongestCommand) {
      client.output += "ERROR command too long\n";
      client.input.clear();
    }
    while (!client.output.empty()) {
      ssize_t n = ::send(client.fd, client.output.data(), client.output.size(), MSG_NOSIGNAL);
      if (n <= 0) break;
      client.output.erase(0, static_cast<size_t>(n));
    }
    if (closed) {
      ::close(client.fd);
      clients_.erase(clients_.begin() + static_cast<long>(i));
      --i;
    }
  }
}

std::string ControlRequest(const std::filesystem::path& socketPath, const std::string& command,
                           double timeoutSeconds) {
  sockaddr_un address = Address(socketPath);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    int saved = errno;
    ::close(fd);
    throw std::system_error(saved, std::generic_category(), "connect " + socketPath.string());
  }
  std::string request = command + "\n";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (!AnswerComplete(answer)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    answer.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!AnswerComplete(answer)) throw std::runtime_error("no answer from the line to '" + command + "'");
  return answer;
}

}  // namespace ql::vmodem
