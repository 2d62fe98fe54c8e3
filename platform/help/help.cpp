#include "platform/help/help.h"

#include "platform/data_folder.h"

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The pages are compiled into this static library; the resource must be registered
// from outside any namespace.
static void RegisterHelpPages() { Q_INIT_RESOURCE(help); }

namespace ql {
namespace {

QPointer<QDialog> helpWindow;
QPointer<QTextBrowser> helpBrowser;

}  // namespace

QString HelpPagePath(int topic) {
  static const bool registered = (RegisterHelpPages(), true);
  (void)registered;
  // The installed pages come first (the build folder holds a copy of them too); the pages
  // built into the program serve when it runs without its installed files.
  const QString installed = QString::fromStdString((InstalledDataFolder() / "help").string());
  for (const int t : {topic, kHelpContents}) {
    const QString name = QStringLiteral("/%1.html").arg(t);
    if (!InstalledDataFolder().empty() && QFile::exists(installed + name)) return installed + name;
    if (QFile::exists(QStringLiteral(":/help") + name)) return QStringLiteral(":/help") + name;
  }
  return QStringLiteral(":/help/%1.html").arg(kHelpContents);
}

void ShowHelp(int topic) {
  const QString page = HelpPagePath(topic);
  if (helpWindow == nullptr) {
    helpWindow = new QDialog(nullptr, Qt::Window);
    helpWindow->setAttribute(Qt::WA_DeleteOnClose);
    helpWindow->setAttribute(Qt::WA_QuitOnClose, false);  // an open help page never keeps the program running
    helpWindow->setWindowTitle(QStringLiteral("Quillet Help"));
    helpWindow->resize(560, 480);
    auto* layout = new QVBoxLayout(helpWindow);
    helpBrowser = new QTextBrowser(helpWindow);
    helpBrowser->setOpenLinks(true);
    layout->addWidget(helpBrowser);
  }
  helpBrowser->setSource(page.startsWith(':') ? QUrl(QStringLiteral("qrc") + page) : QUrl::fromLocalFile(page));
  helpWindow->show();
  helpWindow->raise();
  helpWindow->activateWindow();
}

}  // namespace ql
