#include "win32/app/startup.h"

#include "win32/app/view_form.h"
#include "win32/vcl/application.h"

namespace pelindra::app {

int RunProgram(HINSTANCE instance) {
  vcl::TApplication application(instance);
  application.CreateForm<TViewForm>();
  application.Run();
  return 0;
}

}  // namespace pelindra::app
