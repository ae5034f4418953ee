// Renders the login window, the main window on every tab and the About box
// to PNG files, against the in-process substitute device. Run it under the
// offscreen platform (scripts/screenshots does).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QThread>
#include <cstdio>
#include <functional>

#include "app/about_dlg.h"
#include "app/kolmara_setting_dlg.h"
#include "app/login_dlg.h"
#include "connection/global_data.h"
#include "device/sim_device.h"
#include "tests/support/prompt_recording.h"

namespace {

// Lets queued events and replies arrive until `done` holds, at most `ms`.
bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

void Settle() { WaitFor([] { return false; }, 150); }

bool Save(QWidget* w, const QDir& dir, const QString& name) {
  Settle();
  const QString path = dir.filePath(name);
  if (!w->grab().save(path)) {
    std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: KolmaraSettingScreenshots DIR\n");
    return 2;
  }
  QDir dir(args[1]);
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "screenshots: cannot create %s\n", qPrintable(args[1]));
    return 1;
  }

  kolmara::device::SimDevice sim(kolmara::device::SimConfig{});
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "screenshots: substitute device: %s\n", error.c_str());
    return 1;
  }
  bool ok = true;
  {
    kolmara::CGlobalData store;
    kolmara::CRecordingPrompt prompt;
    {
      kolmara::CLoginDlg login(store, prompt);
      login.SetFields(QStringLiteral("127.0.0.1:%1").arg(sim.Port()), QStringLiteral("admin"),
                      QStringLiteral("admin"));
      login.show();
      ok &= Save(&login, dir, QStringLiteral("login.png"));
      login.OnLoginButton();
      if (!WaitFor([&] { return login.result() == QDialog::Accepted; }, 10000)) {
        std::fprintf(stderr, "screenshots: login did not succeed: %s\n", qPrintable(prompt.Messages().join("; ")));
        return 1;
      }
      login.HandOver();

      kolmara::CKolmaraSettingDlg main(store, prompt);
      main.show();
      auto* firmware = main.findChild<QLineEdit*>(QStringLiteral("firmwareVersionEdit"));
      WaitFor([&] { return firmware && !firmware->text().isEmpty(); }, 5000);
      for (int i = 0; i < kolmara::kTabCount; ++i) {
        main.TabControl()->setCurrentIndex(i);
        ok &= Save(&main, dir, QStringLiteral("main_tab%1.png").arg(i));
      }
      kolmara::CAboutDlg about(&main);
      about.show();
      ok &= Save(&about, dir, QStringLiteral("about.png"));
    }
  }
  sim.Stop();
  return ok ? 0 : 1;
}
