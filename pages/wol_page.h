#pragma once
// Wake-on-LAN page (tab 3).
// Until its controls are built the tab shows an empty page; the calls the
// main window makes on it are declared here and do nothing yet.
#include "pages/setting_page.h"

namespace kolmara {

class CWolPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // A new Wake-on-LAN table is in the store (notification 6).
  virtual void RefreshFromStore() {}
};

}  // namespace kolmara
