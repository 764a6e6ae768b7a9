#include "win32/imaging/gif_form.h"

namespace pelindra::imaging {

TGifForm* GifForm = nullptr;

TGifForm::TGifForm() { GifForm = this; }

}  // namespace pelindra::imaging
