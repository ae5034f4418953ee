#pragma once
// Offline firmware upload page (tab 7).
// Until its controls are built the tab shows an empty page; the calls the
// main window makes on it are declared here and do nothing yet.
#include "pages/setting_page.h"

namespace kolmara {

class CFirmwarePage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // Runs each time its tab is selected.
  virtual void OnTabShown() {}
};

}  // namespace kolmara
