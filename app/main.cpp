#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/about_dlg.h"
#include "app/kolmara_setting_app.h"
#include "kolmara_version.h"

int main(int argc, char** argv) {
  // Before QApplication, which would need a display only to print a line.
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", kolmara::ProgramVersionText().toUtf8().constData());
      return 0;
    }
  QApplication application(argc, argv);
  // Lets a Wayland desktop find the installed entry and its icon for the window.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kolmara::kDesktopId));
  kolmara::CKolmaraSettingApp app;
  return app.Run(kolmara::CKolmaraSettingApp::ParseArguments(application.arguments()));
}
