#include "win32/imaging/rotate_form.h"

namespace pelindra::imaging {

TRotateForm* RotateForm = nullptr;

TRotateForm::TRotateForm() { RotateForm = this; }

}  // namespace pelindra::imaging
