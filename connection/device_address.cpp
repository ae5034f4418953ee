#include "connection/device_address.h"

namespace kolmara {

DeviceAddress ParseDeviceAddress(const QString& typed) {
  DeviceAddress result;
  QString host = typed;
  const qsizetype colon = typed.lastIndexOf(QLatin1Char(':'));
  if (colon >= 0) {
    const QString portText = typed.mid(colon + 1);
    bool isNumber = !portText.isEmpty();
    for (QChar c : portText)
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) isNumber = false;
    const int port = isNumber && portText.size() <= 5 ? portText.toInt() : 0;
    if (port < 1 || port > 65535) return result;
    result.port = port;
    host = typed.left(colon);
  }
  if (!host.contains(QLatin1Char('.'))) host += QLatin1String(kDdnsSuffix);
  result.host = host;
  result.ok = true;
  return result;
}

}  // namespace kolmara
