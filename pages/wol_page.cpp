#include "pages/wol_page.h"

#include "connection/my_socket.h"

namespace kolmara {

void CWolPage::OnTabShown() {
  if (CMySocket* connection = OpenConnection()) connection->RequestWolTable();
}

void CWolPage::OnReply(const Notification& n) {
  if (n.code == kNotifyWolTable) RefreshFromStore();
}

}  // namespace kolmara
