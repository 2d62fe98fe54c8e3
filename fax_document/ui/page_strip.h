#pragma once
// The side strip of the fax view window: a small picture of every page, made when it
// first scrolls into sight, the current page selected; a click shows that page.

#include <QListWidget>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "fax_document/unpack/unpacker_core.h"

namespace ql {

class TPageStrip : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int kThumbWidth = 96;

  explicit TPageStrip(QWidget* parent = nullptr);

  // One entry per page of the file (none for an empty name).
  void SetFile(const std::filesystem::path& file, unsigned pages);
  void SetCurrentPage(unsigned page);
  // Thumbnails made so far.
  int Made() const { return made_; }

  std::function<void(unsigned page)> OnPageChosen;

 protected:
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Makes the pictures of the entries in sight that have none yet.
  void MakeVisibleThumbnails();
  QIcon Thumbnail(unsigned page);

  std::filesystem::path file_;
  UnpackerCore core_;
  QTimer pending_;
  int made_ = 0;
  bool settingCurrent_ = false;
};

}  // namespace ql
