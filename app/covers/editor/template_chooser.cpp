#include "app/covers/editor/template_chooser.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>

#include "app/covers/format/cover_description.h"
#include "app/settings/work_folders.h"
#include "app/ui/message_boxes.h"
#include "app/ui/window_glue.h"
#include "platform/file_names.h"
#include "platform/help/help.h"
#include "platform/text.h"

namespace ql {
namespace {

constexpr const char* kClassName = "TPreviewQuickFaxForms";
constexpr int kPictureWidth = 240;
constexpr int kPictureHeight = 300;

std::vector<std::string> TemplateFiles(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (EqualsIgnoreCase(entry.path().extension().string(), ".fct") && entry.is_regular_file(ec))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return ToLowerAscii(a) < ToLowerAscii(b); });
  return names;
}

// A companion of a template: the same name with another extension, in any case.
std::filesystem::path Companion(const std::filesystem::path& folder, const std::string& templateName,
                                const char* extension) {
  std::filesystem::path name(templateName);
  name.replace_extension(extension);
  return ResolveIgnoringCase(folder, name.string());
}

}  // namespace

TPreviewQuickFaxForms::TPreviewQuickFaxForms(QWidget* parent, const QString& templateName,
                                             const std::filesystem::path& folder)
    : QDialog(parent), folder_(folder), templateName_(templateName) {
  setObjectName(QString::fromLatin1(kClassName));
  setWindowTitle(QStringLiteral("Select  Fax Cover Template"));

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("templates"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const std::string& name : TemplateFiles(folder_)) list_->addItem(QString::fromStdString(name));
  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("picture"));
  picture_->setFixedSize(kPictureWidth, kPictureHeight);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setFrameShape(QFrame::StyledPanel);
  description_ = new QLabel(this);
  description_->setObjectName(QStringLiteral("description"));
  description_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(this);
  auto* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  auto* help = buttons->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &TPreviewQuickFaxForms::Ok);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(kHelpCoverTemplates); });
  connect(list_, &QListWidget::itemSelectionChanged, this, &TPreviewQuickFaxForms::Selected);
  connect(list_, &QListWidget::itemDoubleClicked, this, &TPreviewQuickFaxForms::Ok);

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Fax Cover Templates"), this), 0, 0);
  layout->addWidget(list_, 1, 0);
  layout->addWidget(picture_, 0, 1, 2, 1);
  layout->addWidget(description_, 2, 0, 1, 2);
  layout->addWidget(buttons, 3, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  layout->setRowStretch(1, 1);
}

bool TPreviewQuickFaxForms::Choose(QWidget* parent, QString& templateName) {
  TPreviewQuickFaxForms chooser(parent, templateName, CoversFolder());
  if (chooser.exec() != QDialog::Accepted) return false;
  templateName = chooser.TemplateName();
  return true;
}

void TPreviewQuickFaxForms::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    LoadPlacement(this, kClassName);
    // Selected once the window is up, so a box about a missing picture stands over it.
    QTimer::singleShot(0, this, &TPreviewQuickFaxForms::SelectCurrent);
  }
  QDialog::showEvent(event);
}

void TPreviewQuickFaxForms::done(int result) {
  SavePlacement(this, kClassName);
  QDialog::done(result);
}

void TPreviewQuickFaxForms::SelectCurrent() {
  if (list_->count() == 0) return;
  int row = 0;
  for (int i = 0; i < list_->count(); ++i)
    if (EqualsIgnoreCase(list_->item(i)->text().toStdString(), templateName_.toStdString())) {
      row = i;
      break;
    }
  list_->setCurrentRow(row);
}

void TPreviewQuickFaxForms::Selected() {
  const QList<QListWidgetItem*> chosen = list_->selectedItems();
  if (chosen.isEmpty()) return;
  const std::string name = chosen.first()->text().toStdString();
  templateName_ = QString::fromStdString(name);
  const QImage image(QString::fromStdString(Companion(folder_, name, ".bmp").string()));
  if (image.isNull()) {
    picture_->clear();
    ShowInfo(QStringLiteral("Image not available"));
  } else {
    picture_->setPixmap(QPixmap::fromImage(
        image.scaled(picture_->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
  const auto lines = ReadCoverTextLines(Companion(folder_, name, ".des"));
  description_->setText(lines && !lines->empty() ? QString::fromStdString(lines->front()) : QString());
}

void TPreviewQuickFaxForms::Ok() {
  if (list_->selectedItems().isEmpty()) {
    Beep();
    return;
  }
  accept();
}

}  // namespace ql
