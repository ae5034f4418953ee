#pragma once
// Web page upload page (tab 6).
// Until its controls are built the tab shows an empty page.
#include "pages/setting_page.h"

namespace kolmara {

class CWebPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;
};

}  // namespace kolmara
