// ql-print: the fax printer driver. Turns a PDF or PostScript document into a fax in the
// fax desk's send folder, asking its number, recipient and subject in the "Quillet Printer
// Driver" dialog; serves the "Quillet-Fax" CUPS printer for this user (--listen); adds or
// removes that printer.

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <span>

#include "app/pickup/driver_files.h"
#include "app/ui/message_boxes.h"
#include "picker/driver_handover.h"
#include "platform/data_folder.h"
#include "platform/program_info/program_info.h"
#include "tools/ql-print/desk_forward.h"
#include "tools/ql-print/driver_dialog.h"
#include "tools/ql-print/fax_printing.h"
#include "tools/ql-print/print_listener.h"
#include "tools/ql-print/print_options.h"
#include "tools/ql-print/printer_setup.h"
#include "tools/ql-print/termination.h"

namespace {

using ql::print::TPrintOptions;

constexpr const char* kUsage =
    "Usage: ql-print [OPTION]... [DOCUMENT]\n"
    "The fax printer of Quillet: puts a PDF or PostScript document into the fax desk's outgoing list.\n"
    "\n"
    "DOCUMENT is a PDF or PostScript file; without it (or with -) the document is read from\n"
    "standard input. The \"Quillet Printer Driver\" window asks for the fax number, the recipient\n"
    "and the subject while the pages are made ready; its Phone Book button starts qlpick.\n"
    "\n"
    "Options:\n"
    "  --to NUMBER        fax to NUMBER without asking (with --recipient and --subject)\n"
    "  --recipient NAME   the recipient (fills in the window unless --to is given)\n"
    "  --subject TEXT     the subject (default: the document's name)\n"
    "  --normal           normal resolution (204 x 98 dpi) instead of fine (204 x 196 dpi)\n"
    "  --send-now         start the fax desk, or bring it to the front, once the fax is in\n"
    "  --listen           take the documents this user prints to the Quillet-Fax printer\n"
    "                     (the fax desk starts this when the printer is installed)\n"
    "  --install-printer  add the Quillet-Fax printer to CUPS (asks for root through pkexec or sudo)\n"
    "  --remove-printer   remove it again\n"
    "  --home DIR         use DIR as the data folder (its SEND folder gets the fax)\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Without --home the fax goes to the send folder the fax desk names in\n"
    "$XDG_CONFIG_HOME/quillet/QLPD.INI, written at every start of the desk.\n"
    "Exit status: 0 the fax is in the send folder, 1 it failed, 2 wrong usage, 3 cancelled.\n";

constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kCancelled = 3;

int Error(const std::string& text) {
  std::fprintf(stderr, "ql-print: %s\n", text.c_str());
  return kFailed;
}

// The desk's data folder and program file for a send folder.
struct TDesk {
  std::filesystem::path dataFolder, program;
};

TDesk DeskOf(const std::filesystem::path& sendFolder) {
  TDesk desk{sendFolder.parent_path(), {}};
  if (const auto location = ql::ReadDriverIni(); location && !location->executable.empty())
    desk.program = location->executable;
  return desk;
}

// The document as a file: the one named, or standard input saved to a temporary file
// (removed when the returned holder goes).
struct TDocument {
  std::filesystem::path path;
  bool temporary = false;
  std::string title;
  ~TDocument() {
    std::error_code ec;
    if (temporary) std::filesystem::remove(path, ec);
  }
};

bool OpenDocument(const TPrintOptions& o, TDocument& document, std::string& error) {
  if (!o.document.empty() && o.document != "-") {
    document.path = o.document;
    document.title = std::filesystem::path(o.document).stem().string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(document.path, ec)) {
      error = "cannot read " + o.document;
      return false;
    }
    return true;
  }
  if (::isatty(STDIN_FILENO)) {
    error = "no document given (name a file, or pipe one in)";
    return false;
  }
  document.path = ql::print::SaveToTemporaryFile(STDIN_FILENO, error);
  document.temporary = !document.path.empty();
  document.title = "Printed document";
  return document.temporary;
}

void Report(const ql::DropResult& dropped, int pages) {
  std::printf("%s: %d page%s\n", dropped.apf.c_str(), pages, pages == 1 ? "" : "s");
}

int PrintWithoutDialog(int argc, char** argv, const TPrintOptions& o, const TDocument& document,
                       const std::filesystem::path& sendFolder) {
  QCoreApplication app(argc, argv);
  ql::print::QuitOnTerminationSignals();
  ql::print::TPreparedFax fax;
  if (!fax.Prepare(document.path, sendFolder, o.fine, [](int) {
        QCoreApplication::processEvents();
        return !ql::print::TerminationRequested();
      }))
    return ql::print::TerminationRequested() ? kCancelled : Error(fax.Error());
  const ql::DropResult dropped =
      fax.Drop({*o.to, o.recipient.value_or(""), o.subject.value_or(document.title)});
  if (!dropped.ok) return Error(dropped.error);
  Report(dropped, fax.Pages());
  if (o.sendNow) {
    const TDesk desk = DeskOf(sendFolder);
    if (!ql::print::BringDeskForward(desk.dataFolder, desk.program))
      return Error("the fax is in the send folder, but the fax desk could not be started");
  }
  return 0;
}

int PrintWithDialog(const TPrintOptions& o, const TDocument& document, const std::filesystem::path& sendFolder) {
  ql::print::TDriverDialog dialog({"", o.recipient.value_or(""), o.subject.value_or(document.title)}, o.sendNow);
  ql::print::TPreparedFax fax;
  bool failed = false;
  QTimer::singleShot(0, &dialog, [&] {
    const bool ok = fax.Prepare(document.path, sendFolder, o.fine, [&](int pages) {
      dialog.ShowProgress(pages);
      QCoreApplication::processEvents();
      return !dialog.Cancelled() && !ql::print::TerminationRequested();
    });
    if (ok) {
      dialog.SetReady(fax.Pages());
    } else if (!dialog.Cancelled() && !ql::print::TerminationRequested()) {
      failed = true;
      ql::ShowError(QString::fromStdString("The document cannot be faxed: " + fax.Error()));
      dialog.reject();
    }
  });
  dialog.show();
  dialog.raise();
  dialog.activateWindow();
  const int result = dialog.exec();
  if (ql::print::TerminationRequested()) return kCancelled;
  if (failed) return Error(fax.Error());
  if (result != QDialog::Accepted) return kCancelled;
  const ql::DropResult dropped = fax.Drop(dialog.Values());
  if (!dropped.ok) {
    ql::ShowError(QString::fromStdString("The fax could not be put into the outgoing list: " + dropped.error));
    return Error(dropped.error);
  }
  Report(dropped, fax.Pages());
  if (dialog.OpenDesk()) {
    const TDesk desk = DeskOf(sendFolder);
    ql::print::BringDeskForward(desk.dataFolder, desk.program);
  }
  return 0;
}

int Listen(const TPrintOptions& o, const std::filesystem::path& sendFolder) {
  const TDesk desk = DeskOf(sendFolder);
  ql::print::TPrintListener listener({sendFolder, desk.dataFolder, desk.program, o.fine, o.sendNow});
  if (!listener.Listen()) {
    std::fprintf(stderr, "ql-print: a fax printer listener already runs for this user\n");
    return 0;
  }
  std::printf("listening on %s\n", listener.SocketName().toUtf8().constData());
  std::fflush(stdout);
  QApplication::setQuitOnLastWindowClosed(false);  // the listener outlives its dialogs
  const int status = QApplication::exec();
  return ql::print::TerminationRequested() ? 0 : status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (const auto answered = ql::AnswerHelpOrVersion(std::span(args).subspan(1), "ql-print", kUsage)) return *answered;
  const bool chosen = ql::print::DataFolderChosen(args);
  ql::InitDataFolder(args);
  const TPrintOptions o = ql::print::ParsePrintOptions(std::vector<std::string>(args.begin() + 1, args.end()));
  if (!o.error.empty()) {
    std::fprintf(stderr, "ql-print: %s\nTry 'ql-print --help'.\n", o.error.c_str());
    return kUsageError;
  }

  using Mode = TPrintOptions::Mode;
  if (o.mode == Mode::moInstall || o.mode == Mode::moRemove) {
    if (::geteuid() != 0) return ql::print::RunAsRoot({o.mode == Mode::moInstall ? "--install-printer" : "--remove-printer"});
    const auto setup = ql::print::DefaultPrinterSetup();
    return o.mode == Mode::moInstall ? ql::print::InstallPrinter(setup) : ql::print::RemovePrinter(setup);
  }

  const std::filesystem::path sendFolder = ql::print::DriverSendFolder(chosen);
  if (o.mode == Mode::moPrint && !o.Interactive()) {
    TDocument document;
    std::string error;
    if (!OpenDocument(o, document, error)) return Error(error);
    return PrintWithoutDialog(argc, argv, o, document, sendFolder);
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(ql::kDriverDialogTitle));
  QApplication::setApplicationVersion(QString::fromUtf8(ql::QuilletVersion()));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quillet.Fax")));
  ql::print::QuitOnTerminationSignals();
  if (o.mode == Mode::moListen) return Listen(o, sendFolder);
  TDocument document;
  std::string error;
  if (!OpenDocument(o, document, error)) return Error(error);
  return PrintWithDialog(o, document, sendFolder);
}
