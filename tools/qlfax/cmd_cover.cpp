// qlfax cover: a cover sheet drawn from a template into a one-page APF file, as the fax
// desk's cover-sheet editor stores it (the sender's values come from the settings).

#include <QGuiApplication>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "app/covers/drawing/cover_page.h"
#include "app/covers/shipped/shipped_covers.h"
#include "app/settings/settings.h"
#include "app/settings/work_folders.h"
#include "platform/file_names.h"
#include "platform/text.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{
    "cover",
    "--to NAME --fax NUMBER [--regarding TEXT] [--message FILE|-] [--template NAME] "
    "[--flags urgent,review,comment,reply,recycle] -o FILE.APF",
    "draw a cover sheet from a template in Covers/ (default ql0001.fct) into a one-page APF file", Run};

// The flag of a name, or -1.
int FlagOf(const std::string& name) {
  static const char* const kNames[][2] = {{"urgent", "urgent"},   {"review", "for-review"},
                                          {"comment", "please-comment"}, {"reply", "please-reply"},
                                          {"recycle", "please-recycle"}};
  const std::string lower = ql::ToLowerAscii(name);
  for (int i = 0; i < ql::kImportanceFlagCount; ++i)
    if (lower == kNames[i][0] || lower == kNames[i][1]) return i;
  return -1;
}

bool ParseFlags(const std::string& list, ql::TImportanceFlags& flags) {
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, end - start);
    if (!name.empty()) {
      const int flag = FlagOf(name);
      if (flag < 0) return false;
      flags[flag] = true;
    }
    start = end + 1;
  }
  return true;
}

bool ReadMessage(const std::string& file, std::vector<std::string>& lines) {
  std::string text;
  if (file == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  lines = ql::SplitLines(ql::DecodeCoverText(text));
  return true;
}

// A template given as a path, or by name in the data folder's "Covers/" (".fct" added
// when the name has no extension).
std::filesystem::path TemplatePath(const std::string& given) {
  if (given.find('/') != std::string::npos) return given;
  std::filesystem::path name = ql::BareFileName(given);
  if (!name.has_extension()) name += ".fct";
  return ql::ResolveIgnoringCase(ql::CoversFolder(), name.string());
}

int Run(std::vector<std::string>& args) {
  std::string templateName = ql::kDefaultTemplateName, out, messageFile, flagList;
  ql::TCoverSheet sheet;
  qlfax::TakeOption(args, "--template", templateName);
  qlfax::TakeOption(args, "--to", sheet.Recipient);
  qlfax::TakeOption(args, "--fax", sheet.RecipientFax);
  qlfax::TakeOption(args, "--regarding", sheet.Regarding);
  qlfax::TakeOption(args, "--message", messageFile);
  qlfax::TakeOption(args, "--flags", flagList);
  if (!qlfax::TakeOption(args, "-o", out)) qlfax::TakeOption(args, "--output", out);
  if (!args.empty()) return qlfax::Fail(kCommand, "unexpected '" + args[0] + "'", 2);
  if (out.empty()) return qlfax::Fail(kCommand, "expected -o FILE.APF", 2);
  if (sheet.Recipient.empty() || sheet.RecipientFax.empty())
    return qlfax::Fail(kCommand, "expected --to NAME and --fax NUMBER", 2);
  if (!ParseFlags(flagList, sheet.Flags))
    return qlfax::Fail(kCommand, "bad --flags '" + flagList + "' (urgent, review, comment, reply, recycle)", 2);
  if (!messageFile.empty() && !ReadMessage(messageFile, sheet.MessageLines))
    return qlfax::Fail(kCommand, "cannot read the message file " + messageFile);
  if (sheet.Regarding.empty() && sheet.MessageLines.empty())
    return qlfax::Fail(kCommand, "expected --regarding TEXT or --message FILE", 2);

  // Fonts need a GUI application; none of its windows are shown.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "qlfax";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);

  ql::LoadSettings();
  ql::InstallShippedCovers(ql::CoversFolder());
  const std::filesystem::path templatePath = TemplatePath(templateName);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(templatePath, ec))
    return qlfax::Fail(kCommand, "no template " + templatePath.string());
  sheet.TemplateName = templatePath.filename().string();
  if (const int rc = ql::MakeCoverFile(templatePath, ql::CoverValuesNow(sheet), out); rc < 0)
    return qlfax::Fail(kCommand, out + ": " + ql::ErrorText(rc));
  std::cout << templatePath.filename().string() << " -> " << out << "\n";
  return 0;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
