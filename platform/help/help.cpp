#include "platform/help/help.h"

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
  const QString page = QStringLiteral(":/help/%1.html").arg(topic);
  return QFile::exists(page) ? page : QStringLiteral(":/help/%1.html").arg(kHelpContents);
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
  helpBrowser->setSource(QUrl(QStringLiteral("qrc") + page));
  helpWindow->show();
  helpWindow->raise();
  helpWindow->activateWindow();
}

}  // namespace ql
