#pragma once
// "Select  Fax Cover Template": the templates in "Covers/" with the picture and the
// description of the one selected. Ok takes the selected template's file name; the
// window keeps its place between runs.

#include <QDialog>
#include <filesystem>

class QLabel;
class QListWidget;

namespace ql {

class TPreviewQuickFaxForms : public QDialog {
  Q_OBJECT

 public:
  // Lists the "*.FCT" files (in any case) of folder, by name.
  TPreviewQuickFaxForms(QWidget* parent, const QString& templateName, const std::filesystem::path& folder);

  // Opens the chooser on the data folder's "Covers/"; true with templateName set on Ok.
  static bool Choose(QWidget* parent, QString& templateName);

  QString TemplateName() const { return templateName_; }
  QListWidget* List() const { return list_; }
  QLabel* Picture() const { return picture_; }
  QLabel* Description() const { return description_; }

  // Ok: beeps with nothing selected, else closes with the selected template.
  void Ok();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void Selected();
  // The entry of the current template (compared without regard to case), or the first.
  void SelectCurrent();

  std::filesystem::path folder_;
  QString templateName_;
  QListWidget* list_;
  QLabel* picture_;
  QLabel* description_;
  bool placed_ = false;
};

}  // namespace ql
