#include "win32/cad/hpgl_form.h"

namespace pelindra::cad {

THpglForm* HpglForm = nullptr;

THpglForm::THpglForm() { HpglForm = this; }

}  // namespace pelindra::cad
