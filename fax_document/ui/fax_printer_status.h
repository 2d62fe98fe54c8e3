#pragma once
// The print status display: TAbstractFaxPrinterStatus is what the fax printer talks to
// while it prints; TFaxPrinterStatus is the standard one, whose window ("Print Status")
// shows the fax, the pages to print, the progress and an Abort button.

#include <QDialog>
#include <QObject>
#include <QPoint>
#include <QPointer>

class QLabel;
class QPushButton;

namespace ql {

class TFaxPrinter;

// Progress of a print job, with the word shown for it.
enum TFaxPrintProgress { ppIdle = 0, ppComposing = 1, ppRendering = 2, ppSubmitting = 3, ppConverting = 4 };
const char* ProgressWord(int progress);

class TAbstractFaxPrinterStatus : public QObject {
  Q_OBJECT

 public:
  explicit TAbstractFaxPrinterStatus(QObject* owner = nullptr) : QObject(owner) {}

  TFaxPrinter* FaxPrinter() const { return printer_; }
  void SetFaxPrinter(TFaxPrinter* printer) { printer_ = printer; }
  // Applied to the display window when it exists. A null position centres it.
  QPoint Position() const { return position_; }
  void SetPosition(QPoint position);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on) { ctl3D_ = on; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  virtual void CreateDisplay() = 0;
  virtual void DestroyDisplay() = 0;
  // Refreshes the display: `first` shows it with the fax's information, `last` hides it.
  virtual void UpdateDisplay(bool first, bool last) = 0;
  virtual QWidget* Display() const = 0;

 protected:
  void ApplyToDisplay();

 private:
  TFaxPrinter* printer_ = nullptr;
  QPoint position_;
  bool ctl3D_ = true;
  bool visible_ = true;
};

class TStandardFaxPrinterStatusDisplay : public QDialog {
  Q_OBJECT

 public:
  explicit TStandardFaxPrinterStatusDisplay(QWidget* parent = nullptr);

  QLabel* fileName;
  QLabel* totalPages;
  QLabel* resolution;
  QLabel* width;
  QLabel* firstPage;
  QLabel* lastPage;
  QLabel* status;
  QPushButton* abort;
};

class TFaxPrinterStatus : public TAbstractFaxPrinterStatus {
  Q_OBJECT

 public:
  explicit TFaxPrinterStatus(QObject* owner = nullptr) : TAbstractFaxPrinterStatus(owner) {}
  ~TFaxPrinterStatus() override;

  void CreateDisplay() override;
  void DestroyDisplay() override;
  void UpdateDisplay(bool first, bool last) override;
  QWidget* Display() const override { return display_; }
  TStandardFaxPrinterStatusDisplay* StandardDisplay() const { return display_; }

 private:
  QPointer<TStandardFaxPrinterStatusDisplay> display_;
};

}  // namespace ql
