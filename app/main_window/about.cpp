#include "app/main_window/about.h"

#include <QMessageBox>

#include "app/ui/window_glue.h"

namespace ql {

void ShowAbout(QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(QStringLiteral("About Quillet"));
  box.setIconPixmap(QPixmap());
  box.setTextFormat(Qt::RichText);
  box.setText(QStringLiteral(
      "<h3>Quillet</h3><p>A desktop fax program: send and receive faxes through a fax modem, "
      "keep every fax in two lists, view and print them, with cover sheets and a phone book.</p>"
      "<p>Built with Qt %1.</p>")
                  .arg(QString::fromLatin1(qVersion())));
  box.setStandardButtons(QMessageBox::Ok);
  CenterOverMain(&box);
  box.exec();
}

}  // namespace ql
