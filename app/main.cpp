#include <QApplication>

#include "app/kolmara_setting_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  kolmara::CKolmaraSettingApp app;
  return app.Run(kolmara::CKolmaraSettingApp::ParseArguments(application.arguments()));
}
