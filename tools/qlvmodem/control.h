#pragma once
// The control interface of a running line: a Unix socket that takes one command a line
// and answers with zero or more lines of text, then a last line that starts with "OK"
// or "ERROR". Tests and scripts use it to make a remote call, read what a remote
// received, order a fault and stop the line.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <poll.h>

namespace ql::vmodem {

class ControlServer {
 public:
  using Handler = std::function<std::string(const std::string& command)>;

  // Listens at `path` (an old socket file there is replaced). Throws std::system_error.
  ControlServer(const std::filesystem::path& path, Handler handler);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Descriptors to wait on, and the work once any is ready (never blocks).
  void AddPollFds(std::vector<pollfd>& fds) const;
  void Service();
  const std::filesystem::path& Path() const { return path_; }

 private:
  struct Client {
    int fd;
    std::string input;
    std::string output;
  };
  std::filesystem::path path_;
  Handler handler_;
  int listen_ = -1;
  std::vector<Client> clients_;
};

// Sends one command to a line's control socket and returns its whole answer (the last
// line included). Waits at most `timeoutSeconds`; throws std::runtime_error on failure.
std::string ControlRequest(const std::filesystem::path& socket, const std::string& command,
                           double timeoutSeconds = 30);

}  // namespace ql::vmodem
