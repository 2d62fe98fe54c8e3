#include "app/covers/shipped/shipped_covers.h"

#include <QDir>
#include <QFile>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/file_names.h"

// The templates are compiled into this static library; the resource must be registered
// from outside any namespace.
static void RegisterShippedCovers() { Q_INIT_RESOURCE(covers); }

namespace ql {
namespace {

const QString kResourceFolder = QStringLiteral(":/covers");

void EnsureRegistered() {
  static const bool registered = (RegisterShippedCovers(), true);
  (void)registered;
}

}  // namespace

std::vector<std::string> ShippedCoverFiles() {
  EnsureRegistered();
  std::vector<std::string> names;
  const QDir folder(kResourceFolder);
  for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) names.push_back(name.toStdString());
  return names;
}

int InstallShippedCovers(const std::filesystem::path& coversFolder) {
  std::error_code ec;
  std::filesystem::create_directories(coversFolder, ec);
  int copied = 0;
  for (const std::string& name : ShippedCoverFiles()) {
    if (FindIgnoringCase(coversFolder, name)) continue;
    QFile source(kResourceFolder + QLatin1Char('/') + QString::fromStdString(name));
    if (!source.open(QIODevice::ReadOnly)) continue;
    const QByteArray bytes = source.readAll();
    if (WriteFileAtomically(coversFolder / name, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
      ++copied;
  }
  return copied;
}

}  // namespace ql
