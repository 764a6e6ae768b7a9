#pragma once
// Basic types shared by the whole library: the root object, events, shift
// state, mouse buttons, alignment.

#include <windows.h>

#include <functional>
#include <string>

namespace vcl {

class TObject {
 public:
  virtual ~TObject() = default;
  // The component name of the object inside its form ("Image1", "Timer2").
  std::wstring Name;
  int Tag = 0;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Shift state as flags.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;
TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyboardShiftState();

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, wchar_t& Key)>;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Modal results, as the dialog button identifiers.
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;

}  // namespace vcl
