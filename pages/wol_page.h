#pragma once
// Wake-on-LAN page (tab 3).
// Until its controls are built the tab shows an empty page; what the page
// does with a new table ends in the call below, which does nothing yet.
#include "pages/setting_page.h"

namespace kolmara {

class CWolPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // Asks for the Wake-on-LAN table.
  void OnTabShown() override;
  // A new table (notification 6).
  void OnReply(const Notification& n) override;

  // The store holds a new Wake-on-LAN table.
  virtual void RefreshFromStore() {}
};

}  // namespace kolmara
