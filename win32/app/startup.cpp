#include "win32/app/startup.h"

#include "win32/app/bg_form.h"
#include "win32/app/message_form.h"
#include "win32/app/view_form.h"
#include "win32/cad/hpgl_form.h"
#include "win32/cad/option_form.h"
#include "win32/gif/gif_graphic.h"
#include "win32/imaging/gif_form.h"
#include "win32/imaging/jpg_form.h"
#include "win32/imaging/resize_form.h"
#include "win32/imaging/rotate_form.h"
#include "win32/print/printer_form.h"
#include "win32/print/printer_options.h"
#include "win32/vcl/application.h"

namespace pelindra::app {

void CreateForms(vcl::TApplication& application) {
  gif::RegisterGifPicture();
  application.CreateForm<TViewForm>();
  application.CreateForm<print::TPrinterForm>();
  application.CreateForm<imaging::TRotateForm>();
  application.CreateForm<cad::THpglForm>();
  application.CreateForm<TMessageForm>();
  application.CreateForm<cad::TOptionForm>();
  application.CreateForm<imaging::TResizeForm>();
  application.CreateForm<imaging::TGifForm>();
  application.CreateForm<imaging::TJpgForm>();
  application.CreateForm<print::TPrinterOptions>();
  application.CreateForm<TBGForm>();
}

int RunProgram(HINSTANCE instance) {
  vcl::TApplication application(instance);
  CreateForms(application);
  application.Run();
  return 0;
}

}  // namespace pelindra::app
