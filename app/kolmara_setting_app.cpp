#include "app/kolmara_setting_app.h"

#include <cstdio>

#include "app/kolmara_setting_dlg.h"
#include "app/login_dlg.h"
#include "connection/global_data.h"
#include "connection/net_platform.h"
#include "pages/prompt.h"

#ifdef KOLMARA_HAVE_SIM_DEVICE
#include "device/sim_device.h"
#endif

namespace kolmara {

CKolmaraSettingApp::Options CKolmaraSettingApp::ParseArguments(const QStringList& arguments) {
  Options options;
  for (const QString& a : arguments.mid(1))
    if (a == QLatin1String("--demo")) options.demo = true;
  return options;
}

CKolmaraSettingApp::CKolmaraSettingApp() = default;
CKolmaraSettingApp::~CKolmaraSettingApp() = default;

int CKolmaraSettingApp::Run(const Options& options) {
  CQtPrompt prompt;
  if (!net::StartUp()) {
    prompt.Message(nullptr, QString::fromUtf8("Windows 소켓을 초기화하지 못했습니다."));
    return 1;
  }
  struct SocketLayer {
    ~SocketLayer() { net::CleanUp(); }
  } socketLayer;

#ifdef KOLMARA_HAVE_SIM_DEVICE
  // Declared before the store, so it stops only after the tool has let go.
  std::unique_ptr<device::SimDevice> sim;
#endif
  if (!CGlobalData::Instance()) m_pStore = std::make_unique<CGlobalData>();
  CGlobalData& store = *CGlobalData::Instance();

  {
    CLoginDlg login(store, prompt);
    if (options.demo) {
#ifdef KOLMARA_HAVE_SIM_DEVICE
      device::SimConfig config;
      config.bindAddress = "127.0.0.1";
      config.port = 0;
      config.adminId = "admin";
      config.adminPassword = "admin";
      config.sampleData = true;  // the demo shows filled tables
      sim = std::make_unique<device::SimDevice>(config);
      std::string error;
      if (!sim->Start(&error)) {
        std::fprintf(stderr, "KolmaraSetting: the substitute device did not start: %s\n", error.c_str());
        return 1;
      }
      login.SetFields(QStringLiteral("127.0.0.1:%1").arg(sim->Port()), QStringLiteral("admin"),
                      QStringLiteral("admin"));
#else
      std::fprintf(stderr, "KolmaraSetting: built without the substitute device; --demo is not available\n");
      return 1;
#endif
    }
    if (login.exec() == QDialog::Accepted) {
      login.HandOver();
      CKolmaraSettingDlg main(store, prompt);
      main.exec();
    }
  }
  // The store goes before the substitute device, closing the connection.
  m_pStore.reset();
  return 0;
}

}  // namespace kolmara
