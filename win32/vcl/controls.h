#pragma once
// Controls: the windowless graphic controls (labels, picture views, paint
// boxes) that their parent paints and feeds with mouse input, and the
// windowed controls (forms, panels) that own a window handle.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win32/vcl/canvas.h"
#include "win32/vcl/classes.h"

namespace vcl {

class TWinControl;
class TButton;

struct TFontSpec {
  std::wstring Name = L"MS Sans Serif";
  int Size = 8;  // points
  COLORREF Color = RGB(0, 0, 0);
  bool Bold = false;
  // The font as the canvas takes it, for a device of the given dots per inch.
  pelindra::Font ToCanvasFont(int dpi = 96) const;
};

class TControl : public TObject {
 public:
  explicit TControl(TWinControl* parent);
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TWinControl* Parent() const { return parent_; }

  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.right - bounds_.left; }
  int Height() const { return bounds_.bottom - bounds_.top; }
  RECT BoundsRect() const { return bounds_; }
  void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
  void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
  void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
  void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
  virtual void SetBounds(int left, int top, int width, int height);
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);
  COLORREF Color() const { return color_; }
  virtual void SetColor(COLORREF c);
  const std::wstring& Caption() const { return caption_; }
  virtual void SetCaption(const std::wstring& text);
  TFontSpec& Font() { return font_; }
  const TFontSpec& Font() const { return font_; }
  void SetFont(const TFontSpec& f);
  // The help text shown when the mouse rests on the control.
  std::wstring Hint;
  // A control without a window of its own lets the parent's colour show through.
  bool ParentColor = false;

  // Schedules a repaint of the control's area.
  virtual void Invalidate();
  // Repaints now.
  void Repaint();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // Input as the parent routes it (coordinates relative to the control).
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();

  // Point conversions between this control's client area and the screen.
  POINT ClientToScreen(POINT p) const;
  POINT ScreenToClient(POINT p) const;
  // Offset of the control's client origin inside the nearest windowed control.
  virtual POINT OriginInWindow() const;

 protected:
  virtual void BoundsChanged() {}
  virtual void VisibilityChanged() {}

  TWinControl* parent_;
  RECT bounds_{0, 0, 0, 0};
  bool visible_ = true;
  bool enabled_ = true;
  TAlign align_ = TAlign::alNone;
  COLORREF color_ = GetSysColor(COLOR_BTNFACE);
  std::wstring caption_;
  TFontSpec font_;
};

// A control without a window: drawn by its parent in creation order.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TWinControl* parent);
  // Draws the control with the canvas origin at the control's top left.
  virtual void Paint(TCanvas& canvas) = 0;
  void Invalidate() override;
  POINT OriginInWindow() const override;

 protected:
  void BoundsChanged() override;
  void VisibilityChanged() override { Invalidate(); }
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TWinControl* parent);
  ~TWinControl() override;

  HWND Handle() const { return handle_; }
  bool HandleAllocated() const { return handle_ != nullptr; }

  void SetBounds(int left, int top, int width, int height) override;
  int ClientWidth() const override;
  int ClientHeight() const override;
  RECT ClientRect() const;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void SetColor(COLORREF c) override;
  void SetCaption(const std::wstring& text) override;
  void Invalidate() override;
  POINT OriginInWindow() const override { return {0, 0}; }
  void SetFocus();
  bool Focused() const;

  const std::vector<TControl*>& Controls() const { return controls_; }
  // Places the aligned children inside the client area.
  void Realign();

  // The window procedure of every control; handlers override the OnXxx hooks or
  // WndProc itself and call the inherited one for what they leave alone.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

 protected:
  friend class TControl;
  struct CreateParams {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    HWND parent = nullptr;
  };
  // Creates the window; called by the constructors of concrete controls.
  void CreateHandle(const CreateParams& params);
  void DestroyHandle();
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

  // Paints the window: background, the control's own picture, then the graphic children.
  virtual void PaintWindow(TCanvas& canvas, const RECT& dirty);
  // The control's own drawing between background and children.
  virtual void Paint(TCanvas&) {}
  virtual void Resized() {}

  void AddControl(TControl* control);
  void RemoveControl(TControl* control);
  TControl* ControlAt(int x, int y) const;
  // The first visible default (or cancel) button among the descendants.
  TButton* FindButton(bool isDefault) const;
  bool HandleMouse(UINT msg, WPARAM wp, LPARAM lp);
  void BoundsChanged() override;

  HWND handle_ = nullptr;
  std::vector<TControl*> controls_;
  TControl* captured_ = nullptr;
  TControl* pressed_ = nullptr;
  bool realigning_ = false;
  BrushHandle ctlBrush_;
  COLORREF ctlBrushColor_ = 0;

 private:
  static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
  static ATOM RegisterClass();
};

// A windowed control with a raised, lowered or no bevel and an optional caption.
enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
 public:
  explicit TPanel(TWinControl* parent);
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  TBevelCut BevelInner = TBevelCut::bvNone;
  // Caption alignment: DT_LEFT, DT_CENTER or DT_RIGHT.
  UINT Alignment = DT_CENTER;

 protected:
  void Paint(TCanvas& canvas) override;
};

}  // namespace vcl
