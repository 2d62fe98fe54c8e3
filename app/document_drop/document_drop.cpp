#include "app/document_drop/document_drop.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QUrl>

#include <vector>

#include "app/fax_store/fax_store.h"
#include "app/main_window/main_screen.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "fax_document/imports/document_import.h"

namespace ql {
namespace {

std::vector<std::filesystem::path> LocalFiles(const QMimeData* mime) {
  std::vector<std::filesystem::path> files;
  if (mime == nullptr || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) files.emplace_back(url.toLocalFile().toStdString());
  return files;
}

// Watches the outgoing list's grid for drags of local files. The conversion runs after
// the drop has been answered, so the program the file came from is not kept waiting.
class DropFilter : public QObject {
 public:
  DropFilter(TMainScreen& desk, QTableView* view) : QObject(view), desk_(&desk), viewport_(view->viewport()) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!Takes(watched) || LocalFiles(drag->mimeData()).empty()) {
          drag->ignore();
        } else {
          drag->setDropAction(Qt::CopyAction);
          drag->accept();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        auto files = LocalFiles(drop->mimeData());
        if (!Takes(watched) || files.empty()) {
          drop->ignore();
          return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        busy_ = true;
        QTimer::singleShot(0, this, [this, files = std::move(files)] { AddAll(files); });
        return true;
      }
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  void AddAll(const std::vector<std::filesystem::path>& files) {
    if (!desk_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failures, warnings;
    for (const auto& file : files) {
      const QString name = QString::fromStdString(file.filename().string());
      desk_->statusBar()->showMessage(QStringLiteral("Converting %1...").arg(name));
      std::string error, warning;
      if (!AddDocumentAsOutgoing(*desk_, file, error, warning))
        failures += QStringLiteral("%1: %2\n").arg(name, QString::fromStdString(error));
      else if (!warning.empty())
        warnings += QStringLiteral("%1: %2\n").arg(name, QString::fromStdString(warning));
    }
    desk_->statusBar()->clearMessage();
    QApplication::restoreOverrideCursor();
    busy_ = false;
    // A fax that may have lost content is worth a look before it is sent.
    if (!warnings.isEmpty()) ShowInfo(QStringLiteral("Please check the fax of\n") + warnings.trimmed());
    if (!failures.isEmpty()) ShowError(QStringLiteral("Unable to make a fax of\n") + failures.trimmed());
  }

  // Drags reach the filter on the grid itself, or on the page below it (which may show
  // either list) when the grid is disabled.
  bool Takes(QObject* watched) const {
    return !busy_ && desk_ && (watched == viewport_ || desk_->CurrentTab() == TListTab::ltOutgoing);
  }

  QPointer<TMainScreen> desk_;
  QObject* viewport_;
  bool busy_ = false;
};

}  // namespace

void AcceptDocumentDrops(TMainScreen& desk) {
  QTableView* view = desk.OutView();
  auto* filter = new DropFilter(desk, view);
  view->setAcceptDrops(true);
  view->viewport()->setAcceptDrops(true);
  view->viewport()->installEventFilter(filter);
  // An empty list's grid is disabled, and a disabled widget passes drags on to its
  // parent: the page the grid stands on takes them then.
  if (QWidget* page = view->parentWidget()) {
    page->setAcceptDrops(true);
    page->installEventFilter(filter);
  }
}

bool AddDocumentAsOutgoing(TMainScreen& desk, const std::filesystem::path& document, std::string& error,
                           std::string& warning) {
  EnsureWorkFolders();
  const std::filesystem::path body = NextFreeSendName("FAX");
  ImportOptions options;
  // Repaints go on while a long document is converted; input waits until it is done.
  options.progress = [](int) {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
  };
  const ImportResult result = ImportDocument(document, body, options);
  if (!result.ok) {
    error = result.error;
    return false;
  }
  warning = result.warning;
  xb::TTableEngine& out = desk.OutTable();
  if (AppendDriverFax(out, body.filename().string(), "", document.filename().string(), "") != 0) {
    std::error_code ignored;
    std::filesystem::remove(body, ignored);
    error = "unable to add the fax to the outgoing list";
    return false;
  }
  const uint32_t added = out.RecNo();
  desk.FaxTableCloseAndOpen();
  desk.List(TListTab::ltOutgoing).Refresh(added);
  return true;
}

}  // namespace ql
