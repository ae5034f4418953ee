#pragma once
// Online update page (tab 5).
// Until its controls are built the tab shows an empty page; the calls the
// main window makes on it are declared here and do nothing yet.
#include "pages/setting_page.h"
#include <QString>

namespace kolmara {

class CUpdatePage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // One of the five status fields, by control id (1040..1043, 1047).
  virtual void SetStatusText(int controlId, const QString& text) {}
  virtual void EnableStartButton() {}
};

}  // namespace kolmara
