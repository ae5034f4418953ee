#pragma once
// Network and DDNS page (tab 4).
// Until its controls are built the tab shows an empty page; what the page
// does with the settings ends in the call below, which does nothing yet.
#include "pages/setting_page.h"
#include "connection/records.h"

namespace kolmara {

class CNetworkPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // Asks for the network settings.
  void OnTabShown() override;
  // The settings block (notification 8).
  void OnReply(const Notification& n) override;

  // The device's network settings; the block is valid only during the call.
  virtual void LoadNetworkSettings(const NetworkSettingsBlock& block) {}
};

}  // namespace kolmara
