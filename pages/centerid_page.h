#pragma once
// View ID management page (tab 2).
// Until its controls are built the tab shows an empty page; what the page
// does with the table and the capacity ends in the two calls below, which do
// nothing yet.
#include "pages/setting_page.h"
#include <QString>

namespace kolmara {

class CCenteridPage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // Asks for the view-ID table.
  void OnTabShown() override;
  // A new table (notification 4) and a new capacity (notice 15, 1..99).
  void OnReply(const Notification& n) override;

  // The store holds a new view-ID table.
  virtual void ReloadList() {}
  // The capacity label, rewritten when the device reports a new capacity.
  virtual void SetCapacityText(const QString& text) {}
};

}  // namespace kolmara
