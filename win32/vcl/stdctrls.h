#pragma once
// Small controls: labels, paint boxes, the pie gauge, timers and the hidden
// file list.

#include <windows.h>

#include <string>
#include <vector>

#include "win32/vcl/controls.h"

namespace vcl {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TWinControl* parent);
  TAlignment Alignment = TAlignment::taLeftJustify;
  // Draws only the text, letting what lies below show through.
  bool Transparent = false;
  // Keeps the label as large as its caption.
  bool AutoSize = true;
  void SetCaption(const std::wstring& text) override;
  void Paint(TCanvas& canvas) override;

 private:
  void adjustSize();
};

class TPaintBox : public TGraphicControl {
 public:
  explicit TPaintBox(TWinControl* parent);
  // The canvas while OnPaint runs, else null.
  TCanvas* Canvas() const { return canvas_; }
  TNotifyEvent OnPaint;
  void Paint(TCanvas& canvas) override;

 private:
  TCanvas* canvas_ = nullptr;
};

// A round gauge whose filled slice shows a percentage.
class TGauge : public TGraphicControl {
 public:
  explicit TGauge(TWinControl* parent);
  int Progress() const { return progress_; }
  void SetProgress(int percent);
  COLORREF ForeColor = RGB(0, 0, 0);
  COLORREF BackColor = RGB(255, 255, 255);
  void Paint(TCanvas& canvas) override;

 private:
  int progress_ = 0;
};

class TTimer : public TObject {
 public:
  TTimer() = default;
  ~TTimer() override;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;
  // Runs OnTimer as a tick would (used by the program and by tests).
  void Tick();

 private:
  void update();
  bool enabled_ = false;
  unsigned interval_ = 1000;
  UINT_PTR id_ = 0;
};

// The names of the files of a folder that match a mask, sorted as a list box
// sorts them. It is never shown; the viewer steps through it.
class TFileListBox : public TObject {
 public:
  // Masks separated by ";" such as "*.bmp;*.gif".
  std::wstring Mask = L"*.*";
  const std::wstring& Directory() const { return directory_; }
  // Points the list at a folder and reads it again.
  void SetDirectory(const std::wstring& folder);
  void Update();
  const std::vector<std::wstring>& Items() const { return items_; }
  int Count() const { return int(items_.size()); }
  int ItemIndex = -1;

 private:
  std::wstring directory_;
  std::vector<std::wstring> items_;
};

}  // namespace vcl
