#pragma once
// Administrator credentials (tab 1): a new administrator ID and password.
#include "pages/setting_page.h"

class QLineEdit;
class QPushButton;

namespace kolmara {

class CAccountPage : public CSettingPage {
  Q_OBJECT

 public:
  CAccountPage(CGlobalData& store, IPrompt& prompt, QWidget* parent = nullptr);

  // Button "변  경": checks the three fields and sends them while connected.
  void OnChange();

 private:
  QLineEdit* m_pNewId;
  QLineEdit* m_pNewPassword;
  QLineEdit* m_pConfirm;
  QPushButton* m_pChange;
};

}  // namespace kolmara
