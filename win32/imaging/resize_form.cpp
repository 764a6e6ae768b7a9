#include "win32/imaging/resize_form.h"

namespace pelindra::imaging {

TResizeForm* ResizeForm = nullptr;

TResizeForm::TResizeForm() { ResizeForm = this; }

}  // namespace pelindra::imaging
