#include "pages/account_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "pages/account_logic.h"
#include "pages/prompt.h"

namespace kolmara {

CAccountPage::CAccountPage(CGlobalData& store, IPrompt& prompt, QWidget* parent)
    : CSettingPage(store, prompt, parent) {
  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(QString::fromUtf8("관리자 ID 및 Password 변경"), this);
  auto* form = new QFormLayout(group);
  form->setHorizontalSpacing(24);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

  m_pNewId = new QLineEdit(group);
  m_pNewId->setObjectName(QStringLiteral("newIdEdit"));
  m_pNewPassword = new QLineEdit(group);
  m_pNewPassword->setObjectName(QStringLiteral("newPasswordEdit"));
  m_pNewPassword->setEchoMode(QLineEdit::Password);
  m_pConfirm = new QLineEdit(group);
  m_pConfirm->setObjectName(QStringLiteral("confirmPasswordEdit"));
  m_pConfirm->setEchoMode(QLineEdit::Password);
  for (QLineEdit* edit : {m_pNewId, m_pNewPassword, m_pConfirm}) edit->setMinimumWidth(260);
  form->addRow(QString::fromUtf8("새 관리자 아이디"), m_pNewId);
  form->addRow(QString::fromUtf8("새 비밀번호"), m_pNewPassword);
  form->addRow(QString::fromUtf8("새 비밀번호 확인"), m_pConfirm);

  m_pChange = new QPushButton(QString::fromUtf8("변  경"), group);
  m_pChange->setObjectName(QStringLiteral("changeButton"));
  m_pChange->setMinimumWidth(110);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_pChange);
  form->addRow(buttonRow);

  outer->addWidget(group, 0, Qt::AlignLeft | Qt::AlignTop);
  outer->addStretch(1);
  connect(m_pChange, &QPushButton::clicked, this, &CAccountPage::OnChange);
}

void CAccountPage::OnChange() {
  const AdminChangeResult r = CheckAdminChange(m_pNewId->text(), m_pNewPassword->text(), m_pConfirm->text());
  if (!r.ok) {
    m_prompt.Message(this, r.message);
    return;
  }
  if (CMySocket* connection = OpenConnection())
    connection->SendAdminAccount(std::string_view(r.idAnsi.constData(), r.idAnsi.size()),
                                 std::string_view(r.passwordAnsi.constData(), r.passwordAnsi.size()));
}

}  // namespace kolmara
