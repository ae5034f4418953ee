#pragma once
// Online update page (tab 5).
// Until its controls are built the tab shows an empty page; what the page
// shows of the progress ends in the two calls below, which do nothing yet.
#include "pages/setting_page.h"
#include <QString>

namespace kolmara {

class CUpdatePage : public CSettingPage {
 public:
  using CSettingPage::CSettingPage;

  // The stages of an online update (notification 12) and the end of the
  // firmware update (18): status fields, the start button, and at stage 8
  // the request that makes the device flash.
  void OnReply(const Notification& n) override;

  // One of the five status fields, by control id (1040..1043, 1047).
  virtual void SetStatusText(int controlId, const QString& text) {}
  virtual void EnableStartButton() {}
};

}  // namespace kolmara
