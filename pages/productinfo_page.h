#pragma once
// Product summary (tab 0): what the device reports about itself, read-only.
#include "pages/setting_page.h"

class QFormLayout;
class QLineEdit;

namespace kolmara {

struct DeviceInfoBlock;

class CProductinfoPage : public CSettingPage {
  Q_OBJECT

 public:
  CProductinfoPage(CGlobalData& store, IPrompt& prompt, QWidget* parent = nullptr);

  // Asks for the device information block.
  void OnTabShown() override;
  // The information block (notification 2); an accepted login (1) asks for
  // it again, since the capacity it shows has changed.
  void OnReply(const Notification& n) override;

  // Replaces all nine fields from the block and the store, and leaves the
  // normalised engine version and the device name in the store.
  void UpdateInfo(const DeviceInfoBlock& block);

 private:
  QLineEdit* AddField(QFormLayout* form, const char* caption, const char* objectName);

  QLineEdit* m_pFirmwareVersion;
  QLineEdit* m_pDeviceName;
  QLineEdit* m_pEngineVersion;
  QLineEdit* m_pMacAddress;
  QLineEdit* m_pCompany;
  QLineEdit* m_pDdns;
  QLineEdit* m_pEmail;
  QLineEdit* m_pMaxViewId;
  QLineEdit* m_pMaxConnection;
};

}  // namespace kolmara
