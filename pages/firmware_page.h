#pragma once
// Offline firmware upload page (tab 7).
// Until its controls are built the tab shows an empty page.
#include "pages/setting_page.h"

namespace kolmara {

class CFirmwarePage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;
};

}  // namespace kolmara
