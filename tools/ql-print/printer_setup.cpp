#include "tools/ql-print/printer_setup.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/pickup/listener_start.h"
#include "platform/atomic_file.h"
#include "platform/data_folder.h"

namespace ql::print {
namespace {

constexpr const char* kAutostartName = "org.quillet.PrintListener.desktop";

// Runs a program found on PATH with the arguments; its exit status, or -1.
int Run(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "ql-print: cannot run %s: %s\n", argv[0], std::strerror(errno));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = std::min(folders.find(':', start), folders.size());
    const std::filesystem::path candidate = std::filesystem::path(folders.substr(start, end - start)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "ql-print: %s\n", message.c_str());
  return 1;
}

// Copies the backend into place under a temporary name and renames it, so CUPS never runs
// half a program; root-owned, mode 0700.
bool InstallBackend(const TPrinterSetup& setup, std::string& error) {
  const std::filesystem::path folder = setup.serverBin / "backend";
  const std::filesystem::path target = folder / kBackendName;
  const std::filesystem::path temporary = TemporarySibling(target);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::copy_file(setup.backendSource, temporary, std::filesystem::copy_options::overwrite_existing,
                                  ec)) {
    error = "cannot copy the backend into " + folder.string() + ": " + ec.message();
    return false;
  }
  if (::chown(temporary.c_str(), 0, 0) != 0 || ::chmod(temporary.c_str(), S_IRWXU) != 0 ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    error = "cannot put the backend into place as " + target.string() + ": " + std::strerror(errno);
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

std::string AutostartEntry() {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quillet Fax printer\n"
         "Comment=Shows the Quillet Printer Driver window for documents printed to Quillet Fax\n"
         "Exec=" + (ExecutableFolder() / "ql-print").string() + " --listen\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace

TPrinterSetup DefaultPrinterSetup() {
  TPrinterSetup setup;
  setup.backendSource = ExecutableFolder().parent_path() / "lib" / "quillet" / kBackendName;
  setup.serverBin = CupsServerBin();
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string first = dirs != nullptr ? std::string(dirs).substr(0, std::string(dirs).find(':')) : "";
  setup.autostartDir = std::filesystem::path(first.starts_with("/") ? first : "/etc/xdg") / "autostart";
  return setup;
}

std::string PrinterPpd() {
  // Paper sizes in points; the imageable area leaves the margins a fax machine needs.
  struct Paper {
    const char* name;
    const char* text;
    int width, height;
  };
  static constexpr Paper kPapers[] = {{"A4", "A4", 595, 842}, {"Letter", "US Letter", 612, 792},
                                      {"Legal", "US Legal", 612, 1008}};
  std::string ppd =
      "*PPD-Adobe: \"4.3\"\n"
      "*FormatVersion: \"4.3\"\n"
      "*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n"
      "*LanguageEncoding: ISOLatin1\n"
      "*PCFileName: \"QLFAX.PPD\"\n"
      "*Manufacturer: \"Quillet\"\n"
      "*Product: \"(Quillet Fax)\"\n"
      "*ModelName: \"Quillet Fax\"\n"
      "*ShortNickName: \"Quillet Fax\"\n"
      "*NickName: \"Quillet Fax\"\n"
      "*PSVersion: \"(3010.000) 0\"\n"
      "*LanguageLevel: \"3\"\n"
      "*ColorDevice: False\n"
      "*DefaultColorSpace: Gray\n"
      "*FileSystem: False\n"
      "*Throughput: \"1\"\n"
      "*LandscapeOrientation: Plus90\n"
      "*TTRasterizer: Type42\n"
      "*cupsVersion: 2.4\n"
      "*cupsModelNumber: 0\n"
      "*cupsManualCopies: True\n"
      "*cupsFilter2: \"application/pdf application/pdf 0 -\"\n"
      "*cupsFilter2: \"application/postscript application/postscript 0 -\"\n"
      "*OpenUI *PageSize/Paper Size: PickOne\n"
      "*OrderDependency: 10 AnySetup *PageSize\n"
      "*DefaultPageSize: A4\n";
  const auto each = [&](const char* keyword, auto line) {
    for (const Paper& p : kPapers) ppd += "*" + std::string(keyword) + " " + p.name + "/" + p.text + ": " + line(p) + "\n";
  };
  const auto setSize = [](const Paper& p) {
    return "\"<</PageSize[" + std::to_string(p.width) + " " + std::to_string(p.height) + "]>>setpagedevice\"";
  };
  each("PageSize", setSize);
  ppd += "*CloseUI: *PageSize\n"
         "*OpenUI *PageRegion: PickOne\n"
         "*OrderDependency: 10 AnySetup *PageRegion\n"
         "*DefaultPageRegion: A4\n";
  each("PageRegion", setSize);
  ppd += "*CloseUI: *PageRegion\n*DefaultImageableArea: A4\n";
  each("ImageableArea", [](const Paper& p) {
    return "\"12 12 " + std::to_string(p.width - 12) + " " + std::to_string(p.height - 12) + "\"";
  });
  ppd += "*DefaultPaperDimension: A4\n";
  each("PaperDimension",
       [](const Paper& p) { return "\"" + std::to_string(p.width) + " " + std::to_string(p.height) + "\""; });
  return ppd;
}

int InstallPrinter(const TPrinterSetup& setup) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(setup.backendSource, ec))
    return Fail("the printer's backend is missing (" + setup.backendSource.string() + ")");
  std::string error;
  if (!InstallBackend(setup, error)) return Fail(error);

  char ppdPath[] = "/tmp/ql-print-ppd-XXXXXX";
  const int fd = ::mkstemp(ppdPath);
  if (fd < 0) return Fail(std::string("cannot write the printer description: ") + std::strerror(errno));
  const std::string ppd = PrinterPpd();
  const bool written = ::write(fd, ppd.data(), ppd.size()) == static_cast<ssize_t>(ppd.size());
  ::close(fd);
  const int status = written ? Run({"lpadmin", "-p", kQueueName, "-E", "-v", std::string(kBackendName) + ":/",
                                    "-P", ppdPath, "-D", "Quillet Fax", "-L", "Quillet fax desk",
                                    "-o", "printer-error-policy=abort-job", "-o", "printer-is-shared=false"})
                             : -1;
  ::unlink(ppdPath);
  if (status != 0) return Fail("lpadmin could not add the printer " + std::string(kQueueName));

  std::filesystem::create_directories(setup.autostartDir, ec);
  if (!WriteFileAtomically(setup.autostartDir / kAutostartName, AutostartEntry()))
    std::fprintf(stderr, "ql-print: the printer works, but the session autostart entry could not be written in %s\n",
                 setup.autostartDir.c_str());
  std::printf("The printer %s is installed. Each user's Quillet (or ql-print --listen) takes the documents "
              "printed to it.\n", kQueueName);
  return 0;
}

int RemovePrinter(const TPrinterSetup& setup) {
  const int status = Run({"lpadmin", "-x", kQueueName});
  std::error_code ec;
  std::filesystem::remove(setup.serverBin / "backend" / kBackendName, ec);
  std::filesystem::remove(setup.autostartDir / kAutostartName, ec);
  if (status != 0) return Fail("lpadmin could not remove the printer " + std::string(kQueueName));
  std::printf("The printer %s is removed.\n", kQueueName);
  return 0;
}

int RunAsRoot(const std::vector<std::string>& arguments) {
  const std::string self = (ExecutableFolder() / "ql-print").string();
  std::vector<std::string> command;
  const bool graphical = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (graphical && OnPath("pkexec")) {
    command = {"pkexec", self};
  } else if (OnPath("sudo")) {
    // The environment that names the CUPS server and folders goes along.
    command = {"sudo", "--preserve-env=CUPS_SERVER,QUILLET_CUPS_SERVERBIN,XDG_CONFIG_DIRS", self};
  } else {
    return Fail("adding a printer needs root: run this as root, or install pkexec or sudo");
  }
  command.insert(command.end(), arguments.begin(), arguments.end());
  const int status = Run(command);
  return status < 0 ? 1 : status;
}

}  // namespace ql::print
