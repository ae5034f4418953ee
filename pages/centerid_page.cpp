#include "pages/centerid_page.h"

#include "connection/my_socket.h"
#include "pages/reply_messages_logic.h"
#include "pages/viewid_logic.h"

namespace kolmara {

void CCenteridPage::OnTabShown() {
  if (CMySocket* connection = OpenConnection()) connection->RequestViewIdList();
}

void CCenteridPage::OnReply(const Notification& n) {
  if (n.code == kNotifyViewIdTable) {
    ReloadList();
  } else if (n.code == kNotifyDeviceNotice) {
    if (const std::optional<std::int32_t> capacity = DeviceNoticeCapacity(n.value))
      SetCapacityText(ViewIdCapacityLabel(*capacity));
  }
}

}  // namespace kolmara
