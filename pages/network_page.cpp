#include "pages/network_page.h"

#include "connection/my_socket.h"

namespace kolmara {

void CNetworkPage::OnTabShown() {
  if (CMySocket* connection = OpenConnection()) connection->RequestNetworkSettings();
}

void CNetworkPage::OnReply(const Notification& n) {
  if (n.code == kNotifyNetwork && n.block) LoadNetworkSettings(NetworkSettingsBlock::FromBytes(n.block->data()));
}

}  // namespace kolmara
