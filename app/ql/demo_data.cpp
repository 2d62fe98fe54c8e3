// ql-demo-data DIR: fills a fresh data folder with a few outgoing and received faxes and
// phone-book entries, to try the fax desk (and to take its screenshot) without a modem.
// The fax files are real faxes made from short letters (the received ones at standard
// resolution, as many fax machines send), so viewing and printing work on them too.

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/fax_store/fax_store.h"
#include "app/settings/work_folders.h"
#include "fax_document/components/fax_converter.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"

namespace {

// A fax of `pages` pages: a short letter about `subject`, from and to the names given.
void SampleFax(const std::filesystem::path& path, const std::string& subject, const std::string& from,
               const std::string& to, int pages, bool fine) {
  const std::filesystem::path text = path.parent_path() / (path.stem().string() + ".txt");
  {
    std::ofstream out(text, std::ios::binary);
    for (int page = 1; page <= pages; ++page) {
      if (page > 1) out << '\f';
      out << "FROM:    " << from << "\r\nTO:      " << to << "\r\nSUBJECT: " << subject << "\r\nPAGE:    " << page
          << " of " << pages << "\r\n\r\n";
      out << "Dear " << to << ",\r\n\r\n";
      for (int line = 0; line < 18; ++line)
        out << "  " << line + 1 << ". Item " << page * 100 + line << " ........................ "
            << (page * 37 + line * 11) % 90 + 10 << ".00\r\n";
      out << "\r\nWith kind regards,\r\n" << from << "\r\n";
    }
  }
  ql::TFaxConverter converter;
  converter.SetInputDocumentType(ql::idText);
  converter.SetResolution(fine ? ql::frHigh : ql::frNormal);
  converter.SetDocumentFile(text.string());
  converter.SetOutFileName(path.string());
  converter.SetStationID("+1 555 0100");
  try {
    converter.ConvertToFile();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
  }
  std::filesystem::remove(text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ql-demo-data DIR\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  ql::SetDataFolder(folder);
  if (std::filesystem::exists(folder / ql::kOutgoingTableName)) {
    std::fprintf(stderr, "%s already holds faxes\n", argv[1]);
    return 1;
  }
  ql::IniFile ini(folder / "QL.INI");
  ini.WriteString("User", "Name", "Ann Example");
  ini.WriteString("User", "Fax", "+1 555 0100");
  ini.WriteInteger("Modem", "ComPort", 0);
  ini.Save();
  ql::EnsureWorkFolders();
  ql::StartTableSession();

  const std::time_t day = 86400;
  const std::time_t now = std::time(nullptr);
  struct Out {
    const char* subject;
    const char* recipient;
    const char* phone;
    const char* result;
    int daysAgo;
    bool archived;
  };
  const Out outgoing[] = {
      {"Quarterly budget", "Carol Jones", "555-0142", "Sent", 0, false},
      {"Signed lease agreement", "Harbour Estates", "555-0187", "Sent", 1, false},
      {"Order 4711 confirmation", "Millbrook Supplies", "555-0123", "The line was busy", 2, false},
      {"Meeting minutes", "David Lee", "555-0199", "Sent", 5, false},
      {"Invoice 2026-118", "Larkfield Ltd", "555-0166", "Sent", 9, true},
      {"Draft contract", "Ashdown Legal", "555-0111", "", 0, false},
  };
  ql::xb::TTableEngine out;
  ql::OpenFaxDBF(out);
  for (const Out& o : outgoing) {
    const std::filesystem::path body = ql::NextFreeSendName("FAX");
    SampleFax(body, o.subject, "Ann Example", o.recipient, 1 + static_cast<int>(&o - outgoing) % 3, true);
    ql::AppendDriverFax(out, body.filename().string(), o.recipient, o.subject, o.phone);
    if (o.result[0] != '\0') ql::RecordSendResult(out, o.result, now - o.daysAgo * day - 3600 * o.daysAgo);
    if (o.archived) ql::ToggleArchived(out);
  }
  out.Close();

  ql::xb::TTableEngine rec;
  ql::OpenRecFaxDBF(rec);
  const char* senders[] = {"+1 555 0142", "+44 20 7946 0018", "+1 555 0177"};
  int n = 1;
  for (const char* from : senders) {
    char name[16];
    std::snprintf(name, sizeof name, "FAX%04d.APF", n);
    SampleFax(ql::ReceiveFolder() / name, "Price list", from, "Ann Example", n + 1, false);
    ql::AppendReceivedFax(rec, from, n + 1, name, now - n * day);
    ++n;
  }
  rec.Close();

  ql::xb::TTableEngine book;
  ql::OpenPhoneDBF(book);
  for (const auto& [name, phone] : {std::pair{"Carol Jones", "555-0142"}, std::pair{"David Lee", "555-0199"},
                                    std::pair{"Harbour Estates", "555-0187"}})
    ql::AppendPhoneEntry(book, ql::PhoneEntry{name, phone});
  book.Close();
  std::printf("demo data written to %s\n", argv[1]);
  return 0;
}
