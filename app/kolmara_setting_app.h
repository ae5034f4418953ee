#pragma once
// Start-up: the data store, the login window and, after a successful login,
// the main window. The program ends when the window that is open ends.
#include <QStringList>
#include <memory>

namespace kolmara {

class CGlobalData;

class CKolmaraSettingApp {
 public:
  struct Options {
    // Starts the substitute device on a free loopback port and fills the
    // login window with its address and credentials.
    bool demo = false;
  };
  static Options ParseArguments(const QStringList& arguments);

  CKolmaraSettingApp();
  ~CKolmaraSettingApp();  // the store, and with it the connection, goes first

  // Needs a QApplication. Returns the process's exit code.
  int Run(const Options& options);

 private:
  std::unique_ptr<CGlobalData> m_pStore;
};

}  // namespace kolmara
