#include "fax_document/ui/page_strip.h"

#include <QPainter>
#include <QPixmap>

#include "fax_document/ui/mono_image.h"

namespace ql {
namespace {

constexpr int kThumbHeight = 124;  // room for a page of A4 proportions
constexpr int kMadeRole = Qt::UserRole + 1;

}  // namespace

TPageStrip::TPageStrip(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("pageStrip"));
  setViewMode(QListView::IconMode);
  setFlow(QListView::TopToBottom);
  setWrapping(false);
  setMovement(QListView::Static);
  setResizeMode(QListView::Adjust);
  setIconSize(QSize(kThumbWidth, kThumbHeight));
  setSpacing(4);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFixedWidth(kThumbWidth + 40);
  setFocusPolicy(Qt::NoFocus);
  core_.UnpackFlags = ufDoubleHeight;  // no yielding: a thumbnail is quick
  pending_.setSingleShot(true);
  pending_.setInterval(30);
  connect(&pending_, &QTimer::timeout, this, &TPageStrip::MakeVisibleThumbnails);
  connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!settingCurrent_ && row >= 0 && OnPageChosen) OnPageChosen(static_cast<unsigned>(row + 1));
  });
}

void TPageStrip::SetFile(const std::filesystem::path& file, unsigned pages) {
  clear();
  file_ = file;
  made_ = 0;
  QPixmap blank(kThumbWidth, kThumbHeight);
  blank.fill(Qt::white);
  for (unsigned page = 1; page <= pages; ++page) {
    auto* item = new QListWidgetItem(QIcon(blank), QString::number(page), this);
    item->setTextAlignment(Qt::AlignHCenter);
  }
  pending_.start();
}

void TPageStrip::SetCurrentPage(unsigned page) {
  settingCurrent_ = true;
  setCurrentRow(static_cast<int>(page) - 1);
  settingCurrent_ = false;
  if (page > 0 && item(static_cast<int>(page) - 1) != nullptr) scrollToItem(item(static_cast<int>(page) - 1));
}

void TPageStrip::scrollContentsBy(int dx, int dy) {
  QListWidget::scrollContentsBy(dx, dy);
  pending_.start();
}

void TPageStrip::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  pending_.start();
}

void TPageStrip::showEvent(QShowEvent* event) {
  QListWidget::showEvent(event);
  pending_.start();
}

QIcon TPageStrip::Thumbnail(unsigned page) {
  TMonoBitmap bitmap;
  QPixmap picture(kThumbWidth, kThumbHeight);
  picture.fill(Qt::white);
  if (core_.UnpackPageToBitmap(file_, page, true, bitmap) < 0) return QIcon(picture);
  // The whole page width counts, not just the part in use, so pages keep their scale.
  ApfPageHeader header;
  const int width = core_.ReadPageHeader(file_, page, header) >= 0 ? header.Width() : bitmap.Width();
  if (!bitmap.Empty()) {
    const double scale = std::min(static_cast<double>(kThumbWidth) / width,
                                  static_cast<double>(kThumbHeight) / bitmap.Height());
    const int w = std::max(1, static_cast<int>(bitmap.Width() * scale));
    const int h = std::max(1, static_cast<int>(bitmap.Height() * scale));
    QPainter painter(&picture);
    painter.drawImage(0, 0, DisplayImage(bitmap, w, h, Qt::black, Qt::white));
  }
  QPainter frame(&picture);
  frame.setPen(Qt::gray);
  frame.drawRect(picture.rect().adjusted(0, 0, -1, -1));
  return QIcon(picture);
}

void TPageStrip::MakeVisibleThumbnails() {
  if (!isVisible() || file_.empty()) return;
  for (int row = 0; row < count(); ++row) {
    QListWidgetItem* entry = item(row);
    if (entry->data(kMadeRole).toBool()) continue;
    if (!viewport()->rect().intersects(visualItemRect(entry))) continue;
    entry->setIcon(Thumbnail(static_cast<unsigned>(row + 1)));
    entry->setData(kMadeRole, true);
    ++made_;
  }
}

}  // namespace ql
