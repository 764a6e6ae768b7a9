#include "win32/vcl/menus.h"

#include "win32/vcl/application.h"

namespace vcl {

namespace {
TPopupMenu* activeMenu = nullptr;
}

TMenuItem::TMenuItem(std::wstring name, std::wstring caption) : caption_(std::move(caption)) {
  Name = std::move(name);
}

TMenuItem* TMenuItem::Add(std::wstring name, std::wstring caption) {
  items_.push_back(std::make_unique<TMenuItem>(std::move(name), std::move(caption)));
  items_.back()->parent_ = this;
  return items_.back().get();
}

TMenuItem* TMenuItem::Find(const std::wstring& name) {
  if (Name == name) return this;
  for (auto& item : items_)
    if (TMenuItem* found = item->Find(name)) return found;
  return nullptr;
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

TPopupMenu::TPopupMenu() = default;

TPopupMenu::~TPopupMenu() {
  if (activeMenu == this) activeMenu = nullptr;
}

TPopupMenu* TPopupMenu::Active() { return activeMenu; }

HMENU TPopupMenu::build(TMenuItem& item) {
  HMENU menu = CreatePopupMenu();
  for (int i = 0; i < item.Count(); ++i) {
    TMenuItem* child = item.Items(i);
    if (!child->Visible()) continue;
    UINT flags = MF_STRING | (child->Enabled() ? MF_ENABLED : MF_GRAYED) | (child->Checked() ? MF_CHECKED : 0);
    if (child->Caption() == L"-") {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else if (child->Count() > 0) {
      HMENU sub = build(*child);
      submenus_.emplace_back(sub, child);
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), child->Caption().c_str());
    } else {
      commands_.push_back(child);
      AppendMenuW(menu, flags, commands_.size(), child->Caption().c_str());
    }
  }
  return menu;
}

void TPopupMenu::SubmenuOpening(HMENU menu) {
  for (const auto& [handle, item] : submenus_)
    if (handle == menu) item->Click();
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  commands_.clear();
  submenus_.clear();
  HMENU menu = build(root_);
  HWND owner = Application ? Application->Handle() : nullptr;
  TPopupMenu* previous = activeMenu;
  activeMenu = this;
  if (owner) SetForegroundWindow(owner);
  const UINT chosen =
      UINT(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0, owner, nullptr));
  activeMenu = previous;
  DestroyMenu(menu);
  if (owner) PostMessageW(owner, WM_NULL, 0, 0);
  if (chosen > 0 && chosen <= commands_.size()) commands_[chosen - 1]->Click();
}

}  // namespace vcl
