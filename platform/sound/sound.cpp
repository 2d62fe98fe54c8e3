#include "platform/sound/sound.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>
#include <filesystem>

namespace ql {

bool PlaySoundAsync(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
  // One effect for the whole program: starting a new sound replaces the one playing.
  // It belongs to the application, so it goes away before the audio back end does.
  static QPointer<QSoundEffect> effect;
  if (effect == nullptr) effect = new QSoundEffect(QCoreApplication::instance());
  effect->stop();
  effect->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
  effect->play();
  return true;
}

}  // namespace ql
