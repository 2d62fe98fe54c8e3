#include "tools/ql-print/job_protocol.h"

#include <sys/socket.h>

#include <cstdlib>

namespace ql::print {
namespace {

constexpr std::string_view kFaxPrefix = "fax-";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string ListenerSocketName(uid_t uid) {
  const char* base = std::getenv("QUILLET_PRINT_SOCKET");
  return std::string(base != nullptr && base[0] != '\0' ? base : "quillet-print") + "-" + std::to_string(uid);
}

std::optional<uid_t> PeerUid(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
    return std::nullopt;
  return credentials.uid;
}

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

std::string EncodeHeader(const JobHeader& header) {
  std::string text = std::string(kJobMagic) + "\ntitle " + OneLine(header.title) + "\n";
  for (const auto& [name, value] : header.options) {
    if (name.empty() || name.find_first_of(" \t\r\n") != std::string::npos) continue;
    text += "option " + name + " " + OneLine(value) + "\n";
  }
  return text + "\n";
}

HeaderReader::Step HeaderReader::Feed(std::string_view line) {
  if (!started_) {
    started_ = true;
    return line == kJobMagic ? Step::stMore : Step::stError;
  }
  if (line.empty()) return Step::stDone;
  const size_t space = line.find(' ');
  const std::string_view word = line.substr(0, space);
  const std::string_view rest = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  if (word == "title") {
    header_.title = rest;
    return Step::stMore;
  }
  if (word == "option") {
    const size_t gap = rest.find(' ');
    if (gap == 0 || rest.empty()) return Step::stError;
    header_.options[std::string(rest.substr(0, gap))] =
        gap == std::string_view::npos ? std::string() : std::string(rest.substr(gap + 1));
    return Step::stMore;
  }
  return Step::stError;
}

std::map<std::string, std::string> FaxOptionsOf(std::string_view text) {
  std::map<std::string, std::string> options;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string name, value;
    while (i < text.size() && !IsBlank(text[i]) && text[i] != '=') name += text[i++];
    if (i < text.size() && text[i] == '=') {
      ++i;
      char quote = 0;
      while (i < text.size() && (quote != 0 || !IsBlank(text[i]))) {
        const char c = text[i++];
        if (c == '\\' && i < text.size()) {
          value += text[i++];
        } else if (quote == 0 && (c == '\'' || c == '"')) {
          quote = c;
        } else if (c == quote) {
          quote = 0;
        } else {
          value += c;
        }
      }
    }
    if (name.starts_with(kFaxPrefix)) options[name] = value;
  }
  return options;
}

}  // namespace ql::print
