#pragma once
// Top-level windows: border styles, activation, closing, modal showing.

#include <windows.h>

#include "win32/vcl/controls.h"

namespace vcl {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4;
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TPosition { poDesigned, poScreenCenter };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TForm : public TWinControl {
 public:
  TForm();
  ~TForm() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle s);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle s);
  TPosition Position = TPosition::poDesigned;
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState s);

  void SetClientWidth(int w) { SetClientSize(w, ClientHeight()); }
  void SetClientHeight(int h) { SetClientSize(ClientWidth(), h); }
  void SetClientSize(int w, int h);

  void SetVisible(bool v) override;
  // Brings the form to the front and gives it the focus.
  void BringToFront();
  // Runs the close sequence: OnCloseQuery, OnClose, then hides the form (or ends
  // the program when it is the main form).
  void Close();
  // Shows the form modally and returns its ModalResult.
  TModalResult ShowModal();
  TModalResult ModalResult = mrNone;
  // Answers every ShowModal instead of the user while set: it gets the form
  // (activated, as the user would see it), works its controls and returns.
  static std::function<void(TForm&)> ModalHook;
  bool Modal() const { return modal_; }
  // The form is the one the application last activated.
  bool Active() const;

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnPaint;
  TNotifyEvent OnResize;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  // Fires OnActivate as a change of the application's active form does.
  virtual void Activate();

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(TCanvas& canvas) override;
  void Resized() override;
  void BoundsChanged() override;
  virtual void KeyDown(WORD& key, TShiftState shift);
  // The TCanvas of the form while OnPaint runs.
  TCanvas* paintCanvas_ = nullptr;

 public:
  TCanvas* Canvas() const { return paintCanvas_; }

 private:
  void applyStyles();
  void readBounds();

  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  TWindowState windowState_ = TWindowState::wsNormal;
  bool modal_ = false;
  HWND focusedControl_ = nullptr;  // the control that had the keyboard when the form lost it
  bool shownOnce_ = false;
  bool inBoundsChange_ = false;
};

// Work area and size of the primary screen.
struct TScreen {
  static int Width();
  static int Height();
  // Bits per pixel of the screen times its planes.
  static int BitsPerPixel();
};

}  // namespace vcl
