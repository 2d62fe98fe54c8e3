#pragma once
// TAbstractFaxStatus: the status display a fax component updates on every status. The
// application makes it concrete with a window of its own (a progress dialog; the
// command line prints the texts). The display is created when the concrete class calls
// CreateDisplayNow() at the end of its constructor, and destroyed with the component.

namespace ql {

class TCustomAbstractFax;

class TAbstractFaxStatus {
 public:
  virtual ~TAbstractFaxStatus();
  TAbstractFaxStatus(const TAbstractFaxStatus&) = delete;
  TAbstractFaxStatus& operator=(const TAbstractFaxStatus&) = delete;

  // Where the display shows itself, its 3-D look and whether it is shown: applied to the
  // display when there is one.
  int Position() const { return position_; }
  void SetPosition(int position);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);

  // The fax component served (linking from either side sets both).
  TCustomAbstractFax* Fax() const { return fax_; }
  void SetFax(TCustomAbstractFax* fax);

  // Called on every status of the fax component.
  virtual void UpdateDisplay(bool first, bool last) = 0;

 protected:
  TAbstractFaxStatus() = default;
  // Makes the display and reads its position, look and visibility back.
  void CreateDisplayNow();
  // Destroys the display; a concrete class calls it from its destructor.
  void DestroyDisplayNow();

  virtual void CreateDisplay() = 0;
  virtual void DestroyDisplay() = 0;
  // The display's own values, and applying new ones to it.
  virtual int DisplayPosition() const { return position_; }
  virtual bool DisplayCtl3D() const { return ctl3D_; }
  virtual bool DisplayVisible() const { return visible_; }
  virtual void ApplyPosition(int) {}
  virtual void ApplyCtl3D(bool) {}
  virtual void ApplyVisible(bool) {}

  bool HasDisplay() const { return hasDisplay_; }

 private:
  int position_ = 0;
  bool ctl3D_ = true;
  bool visible_ = false;
  bool hasDisplay_ = false;
  TCustomAbstractFax* fax_ = nullptr;
};

}  // namespace ql
