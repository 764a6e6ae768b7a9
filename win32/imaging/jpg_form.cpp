#include "win32/imaging/jpg_form.h"

namespace pelindra::imaging {

TJpgForm* JpgForm = nullptr;

TJpgForm::TJpgForm() { JpgForm = this; }

}  // namespace pelindra::imaging
