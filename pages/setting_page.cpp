#include "pages/setting_page.h"

#include <QKeyEvent>

#include "connection/global_data.h"
#include "connection/my_socket.h"

namespace kolmara {
namespace {

bool IsSwallowedKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

}  // namespace

CSettingPage::CSettingPage(CGlobalData& store, IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_store(store), m_prompt(prompt) {}

void CSettingPage::InstallKeyFilter() {
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

bool CSettingPage::eventFilter(QObject* watched, QEvent* event) {
  if (IsSwallowedKey(event)) return true;
  return QWidget::eventFilter(watched, event);
}

void CSettingPage::keyPressEvent(QKeyEvent* event) {
  // Accepted here, the key never travels on to the dialog that holds the page.
  if (IsSwallowedKey(event)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CSettingPage::showEvent(QShowEvent* event) {
  InstallKeyFilter();
  QWidget::showEvent(event);
}

CMySocket* CSettingPage::OpenConnection() const {
  CMySocket* connection = m_store.m_pConnection.get();
  return connection && connection->IsConnected() ? connection : nullptr;
}

}  // namespace kolmara
