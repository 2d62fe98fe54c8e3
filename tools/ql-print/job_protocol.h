#pragma once
// How the fax printer's CUPS backend hands a print job to the user's ql-print listener.
//
// The listener of user U listens on the abstract local socket "quillet-print-<U's uid>"
// (QUILLET_PRINT_SOCKET replaces "quillet-print", for test servers). Anyone can open an
// abstract socket, so each side checks the other's credentials: the backend hands a job
// of user U only to a listener run by U, and a listener takes jobs only from root (the
// backend) or from U.
//
// The backend sends, all lines ending in "\n":
//   QUILLET-JOB 1
//   title <the job's title>
//   option <name> <value>         any number of these (fax-number, fax-recipient, fax-subject)
//   <empty line>
//   then the document in chunks: "<decimal length>\n" followed by that many bytes, and "0\n"
//   at the end.
// The listener answers one line once the document has been turned into a fax:
//   OK <pages>        or        ERR <text for the print queue>

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ql::print {

inline constexpr const char* kJobMagic = "QUILLET-JOB 1";
inline constexpr const char* kOptionNumber = "fax-number";
inline constexpr const char* kOptionRecipient = "fax-recipient";
inline constexpr const char* kOptionSubject = "fax-subject";
// The largest chunk a sender writes and a reader takes.
inline constexpr std::size_t kMaxChunk = 1 << 20;

// The socket name (without the leading zero byte of the abstract namespace).
std::string ListenerSocketName(uid_t uid);

// The uid of the process at the other end of a connected local socket, or nothing.
std::optional<uid_t> PeerUid(int fd);

struct JobHeader {
  std::string title;
  std::map<std::string, std::string> options;
};

// The header's lines, up to and including the empty line.
std::string EncodeHeader(const JobHeader& header);

// Reads a header line by line: Feed takes one line (without its "\n") and says whether the
// header goes on; a malformed header is an error.
class HeaderReader {
 public:
  enum class Step { stMore, stDone, stError };
  Step Feed(std::string_view line);
  const JobHeader& Header() const { return header_; }

 private:
  bool started_ = false;
  JobHeader header_;
};

// The fax options among the options of a CUPS job ("name=value name='a b' flag", with
// quotes and backslashes as CUPS writes them): only the fax-* names are kept.
std::map<std::string, std::string> FaxOptionsOf(std::string_view cupsOptions);

// One line of text without line breaks.
std::string OneLine(std::string_view text);

}  // namespace ql::print
