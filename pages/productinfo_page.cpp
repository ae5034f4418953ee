#include "pages/productinfo_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "connection/my_socket.h"
#include "connection/records.h"
#include "pages/login_logic.h"
#include "pages/productinfo_logic.h"

namespace kolmara {

CProductinfoPage::CProductinfoPage(CGlobalData& store, IPrompt& prompt, QWidget* parent)
    : CSettingPage(store, prompt, parent) {
  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(this);
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  form->setHorizontalSpacing(24);
  m_pFirmwareVersion = AddField(form, "Firmware Version", "firmwareVersionEdit");
  m_pDeviceName = AddField(form, "Device Name", "deviceNameEdit");
  m_pEngineVersion = AddField(form, "Server Engine Version", "engineVersionEdit");
  m_pMacAddress = AddField(form, "Mac Address", "macAddressEdit");
  m_pCompany = AddField(form, "Company", "companyEdit");
  m_pDdns = AddField(form, "DDNS", "ddnsEdit");
  m_pEmail = AddField(form, "e-Mail", "emailEdit");
  m_pMaxViewId = AddField(form, "Max View ID", "maxViewIdEdit");
  m_pMaxConnection = AddField(form, "Max Connection", "maxConnectionEdit");
  group->setMaximumWidth(620);
  outer->addWidget(group, 0, Qt::AlignLeft | Qt::AlignTop);
  outer->addStretch(1);
}

QLineEdit* CProductinfoPage::AddField(QFormLayout* form, const char* caption, const char* objectName) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(objectName));
  edit->setReadOnly(true);
  edit->setMinimumWidth(340);
  form->addRow(QString::fromLatin1(caption), edit);
  return edit;
}

void CProductinfoPage::OnTabShown() {
  if (CMySocket* connection = OpenConnection()) connection->RequestDeviceInfo();
}

void CProductinfoPage::OnReply(const Notification& n) {
  if (n.code == kNotifyDeviceInfo && n.block) {
    UpdateInfo(DeviceInfoBlock::FromBytes(n.block->data()));
  } else if (n.code == kNotifyLogin && LoginCapacity(n.value)) {
    if (CMySocket* connection = OpenConnection()) connection->RequestDeviceInfo();
  }
}

void CProductinfoPage::UpdateInfo(const DeviceInfoBlock& block) {
  StoreProductIdentity(block, m_store);
  const ProductSummary s = BuildProductSummary(block, m_store);
  m_pFirmwareVersion->setText(s.firmwareVersion);
  m_pEngineVersion->setText(s.engineVersion);
  m_pDeviceName->setText(s.deviceName);
  m_pCompany->setText(s.company);
  m_pDdns->setText(s.ddns);
  m_pEmail->setText(s.email);
  m_pMacAddress->setText(s.macAddress);
  m_pMaxViewId->setText(s.maxViewId);
  m_pMaxConnection->setText(s.maxConnection);
  // A long company or e-mail should show its beginning, not its end.
  for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->setCursorPosition(0);
}

}  // namespace kolmara
