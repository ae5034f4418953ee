#pragma once
// View ID management page (tab 2).
// Until its controls are built the tab shows an empty page; the calls the
// main window makes on it are declared here and do nothing yet.
#include "pages/setting_page.h"
#include <QString>

namespace kolmara {

class CCenteridPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // A new view-ID table is in the store (notification 4).
  virtual void ReloadList() {}
  // The capacity label, rewritten when the device reports a new capacity.
  virtual void SetCapacityText(const QString& text) {}
};

}  // namespace kolmara
