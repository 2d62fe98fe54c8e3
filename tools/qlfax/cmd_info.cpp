// qlfax info: what an APF fax file holds, page by page.

#include <cstdio>
#include <ctime>
#include <iostream>

#include "fax_document/apf/apf_file.h"
#include "fax_document/unpack/unpacker_core.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{"info", "FILE.APF",
                              "show the pages of an APF file: resolution, width, data length, lines; station ID, time",
                              Run};

std::string CreationTime(uint32_t packed) {
  if (packed == 0) return "unknown";
  const std::tm t = ql::UnpackDosDateTime(packed);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

int Run(std::vector<std::string>& args) {
  if (args.size() != 1) return qlfax::Fail(kCommand, "expected one APF file", 2);
  const std::string file = args[0];
  ql::ApfReader reader;
  if (const int rc = reader.Open(file); rc < 0) return qlfax::Fail(kCommand, file + ": " + ql::ErrorText(rc));
  const ql::ApfFileHeader& header = reader.FileHeader();
  std::cout << "File: " << file << "\n"
            << "Pages: " << header.PageCount << "\n"
            << "Station ID: " << header.SenderStation << "\n"
            << "Created: " << CreationTime(header.CreatedAt) << "\n";
  int status = 0;
  for (unsigned p = 1; p <= header.PageCount; ++p) {
    ql::ApfPageHeader page;
    if (const int rc = reader.LocatePage(p, page); rc < 0) {
      std::cout << "Page " << p << ": " << ql::ErrorText(rc) << "\n";
      status = 1;
      break;
    }
    // Lines are counted by decoding the page, which works for both page forms.
    unsigned lines = 0;
    ql::UnpackerCore counter([&lines](bool starting, bool ending, const uint8_t*, unsigned, unsigned) {
      if (!starting && !ending) ++lines;
      return 0;
    });
    counter.UnpackFlags = 0;
    const int rc = counter.UnpackPage(file, p);
    std::cout << "Page " << p << ": " << (page.HighRes() ? "high" : "standard") << " resolution, width "
              << page.Width() << ", data " << page.DataLength << " bytes, " << lines << " lines"
              << (page.LineRecords() ? "" : ", plain T.4 stream");
    if (counter.BadCodes > 0) std::cout << ", " << counter.BadCodes << " bad codes";
    if (rc < 0) {
      std::cout << ", " << ql::ErrorText(rc);
      status = 1;
    }
    std::cout << "\n";
  }
  return status;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
