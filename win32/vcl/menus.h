#pragma once
// Popup menus built from a tree of items; Windows menus are made afresh each
// time a menu opens, so item states are always the current ones.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win32/vcl/classes.h"

namespace vcl {

class TMenuItem : public TObject {
 public:
  TMenuItem() = default;
  TMenuItem(std::wstring name, std::wstring caption);
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& c) { caption_ = c; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }

  // Appends a sub item owned by this item and returns it.
  TMenuItem* Add(std::wstring name, std::wstring caption);
  int Count() const { return int(items_.size()); }
  TMenuItem* Items(int i) const { return items_[std::size_t(i)].get(); }
  TMenuItem* Parent() const { return parent_; }
  // The item of this subtree with the component name, or null.
  TMenuItem* Find(const std::wstring& name);

  // Runs OnClick as choosing the item (or opening its submenu) does.
  void Click();
  TNotifyEvent OnClick;

 private:
  std::wstring caption_;
  bool visible_ = true;
  bool enabled_ = true;
  bool checked_ = false;
  TMenuItem* parent_ = nullptr;
  std::vector<std::unique_ptr<TMenuItem>> items_;
};

class TPopupMenu : public TObject {
 public:
  TPopupMenu();
  ~TPopupMenu() override;
  TMenuItem& Items() { return root_; }
  TMenuItem* Find(const std::wstring& name) { return root_.Find(name); }
  // Opens the menu at a screen position and runs the chosen item's OnClick.
  void Popup(int x, int y);
  TNotifyEvent OnPopup;
  // The menu that is open now, if any.
  static TPopupMenu* Active();
  // Called by the application window when a submenu opens.
  void SubmenuOpening(HMENU menu);

 private:
  HMENU build(TMenuItem& item);
  TMenuItem root_;
  std::vector<TMenuItem*> commands_;
  std::vector<std::pair<HMENU, TMenuItem*>> submenus_;
};

}  // namespace vcl
