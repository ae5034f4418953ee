#pragma once
// Network and DDNS page (tab 4).
// Until its controls are built the tab shows an empty page; the calls the
// main window makes on it are declared here and do nothing yet.
#include "pages/setting_page.h"
#include "connection/records.h"

namespace kolmara {

class CNetworkPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // The device's network settings (notification 8); the block is valid only during the call.
  virtual void LoadNetworkSettings(const NetworkSettingsBlock& block) {}
};

}  // namespace kolmara
