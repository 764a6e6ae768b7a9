#include "win32/cad/option_form.h"

namespace pelindra::cad {

TOptionForm* OptionForm = nullptr;

TOptionForm::TOptionForm() { OptionForm = this; }

}  // namespace pelindra::cad
