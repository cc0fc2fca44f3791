// Program entry of the desktop application: the database layer's hooks, the
// data module, the main window, the hidden about box, then the message loop.
#include "app/about_box.h"
#include "app/access_hooks/access_hooks.h"
#include "app/application.h"
#include "app/main_form.h"
#include "app/qt_dialogs.h"

int main(int argc, char** argv) {
  app::TApplication application(argc, argv);
  app::QtDialogs dialogs;
  application.SetDialogs(&dialogs);
  app::TAccessHooks hooks(dialogs);
  // The data module outlives every window: windows save their settings and
  // let go of its datasets while they are destroyed.
  records::TData data;
  int result = 0;
  {
    app::TMainForm main_form(dialogs, &data);
    dialogs.SetParent(&main_form);
    app::TAboutBox about_box(&main_form);
    main_form.SetAboutBox(&about_box);
    main_form.show();
    result = application.exec();
    dialogs.SetParent(nullptr);
  }
  application.SetDialogs(nullptr);
  return result;
}
