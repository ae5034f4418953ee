#include "pages/update_page.h"

#include "connection/my_socket.h"
#include "pages/update_logic.h"

namespace kolmara {

void CUpdatePage::OnReply(const Notification& n) {
  const UpdateProgressRow* row = UpdatePageChange(n.code, n.value);
  if (!row) return;
  for (int i = 0; i < kUpdateStatusFields; ++i)
    if (row->fields[i]) SetStatusText(kUpdateStatusControlIds[i], QString::fromUtf8(row->fields[i]));
  if (row->enableStartButton) EnableStartButton();
  if (row->sendFirmwareUpdate)
    if (CMySocket* connection = OpenConnection()) connection->StartFirmwareUpdate();
}

}  // namespace kolmara
