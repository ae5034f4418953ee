#include "cli/output.h"

#include <QJsonArray>
#include <algorithm>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>
#include <utility>

#include "pages/reply_messages_logic.h"

namespace kolmara::cli {
namespace {

std::string Json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

// A device text as a table shows it: control characters (C0, DEL, C1) as
// \xNN, so a device cannot move the cursor, clear the screen or retitle the
// administrator's terminal. JSON escapes them already.
QString Visible(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
      out += QStringLiteral("\\x%1").arg(static_cast<unsigned>(u), 2, 16, QLatin1Char('0'));
    else
      out += c;
  }
  return out;
}

QString PadRight(const QString& text, int width) {
  const int missing = width - DisplayWidth(text);
  return missing > 0 ? text + QString(missing, QLatin1Char(' ')) : text;
}

// "Caption : value" lines with the values in one column.
std::string KeyValueTable(const std::vector<std::pair<QString, QString>>& rows) {
  int width = 0;
  for (const auto& [caption, value] : rows) width = std::max(width, DisplayWidth(caption));
  QString out;
  for (const auto& [caption, value] : rows)
    out += PadRight(caption, width) + QStringLiteral(" : ") + Visible(value) + '\n';
  return out.toStdString();
}

// Columns separated by two spaces; the last column is not padded.
std::string ColumnTable(const std::vector<QString>& headings, std::vector<std::vector<QString>> rows) {
  for (auto& row : rows)
    for (QString& cell : row) cell = Visible(cell);
  std::vector<int> widths;
  for (const QString& h : headings) widths.push_back(DisplayWidth(h));
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  auto line = [&](const std::vector<QString>& cells) {
    QString text;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const bool last = c + 1 == cells.size();
      text += last ? cells[c] : PadRight(cells[c], widths[c]) + QStringLiteral("  ");
    }
    return text + '\n';
  };
  QString out = line(headings);
  for (const auto& row : rows) out += line(row);
  return out.toStdString();
}

QString YesNo(bool on) { return on ? QStringLiteral("yes") : QStringLiteral("no"); }
QString Flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

int DisplayWidth(const QString& text) {
  int width = 0;
  for (char32_t c : text.toUcs4()) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    width += wide ? 2 : 1;
  }
  return width;
}

std::string FormatInfo(const ProductSummary& s, bool json) {
  if (json) {
    QJsonObject o;
    o["firmware_version"] = s.firmwareVersion;
    o["device_name"] = s.deviceName;
    o["server_engine_version"] = s.engineVersion;
    o["mac_address"] = s.macAddress;
    o["company"] = s.company;
    o["ddns"] = s.ddns;
    o["email"] = s.email;
    o["max_view_id"] = s.maxViewId.toLongLong();
    o["max_connection"] = s.maxConnection.toLongLong();
    return Json(o);
  }
  return KeyValueTable({
      {"Firmware Version", s.firmwareVersion},
      {"Device Name", s.deviceName},
      {"Server Engine Version", s.engineVersion},
      {"Mac Address", s.macAddress},
      {"Company", s.company},
      {"DDNS", s.ddns},
      {"e-Mail", s.email},
      {"Max View ID", s.maxViewId},
      {"Max Connection", s.maxConnection},
  });
}

std::string FormatNetwork(const NetworkView& v, bool json) {
  if (json) {
    QJsonObject o;
    o["ip"] = v.ip;
    o["netmask"] = v.netmask;
    o["gateway"] = v.gateway;
    o["mac_address"] = v.macAddress;
    o["dhcp"] = v.dhcp;
    o["upnp"] = v.upnp;
    o["tcp_control_port"] = v.tcpControlPort;
    o["relay_port"] = v.relayPort;
    o["config_port"] = v.configPort;
    o["web_server_port"] = v.webServerPort;
    o["web_server_off"] = v.webServerOff;
    o["web_ssl_port"] = v.webSslPort;
    o["ddns"] = v.ddnsName;
    o["email"] = v.email;
    o["company"] = v.company;
    o["ntp_server"] = v.ntpServer;
    return Json(o);
  }
  return KeyValueTable({
      {"IP Address", v.ip},
      {"Net Mask", v.netmask},
      {"Gateway", v.gateway},
      {"Mac Address", v.macAddress},
      {"DHCP", YesNo(v.dhcp)},
      {"UPnP", YesNo(v.upnp)},
      {"TCP Control Port", QString::number(v.tcpControlPort)},
      {"Relay Port", QString::number(v.relayPort)},
      {"Kolmara Config Port", QString::number(v.configPort)},
      {"Web Server Port", QString::number(v.webServerPort)},
      {"Web Server Off", YesNo(v.webServerOff)},
      {"Web SSL Port", QString::number(v.webSslPort)},
      {"DDNS", v.ddnsName},
      {"e-mail", v.email},
      {"Company", v.company},
      {"NTP Server", v.ntpServer},
  });
}

std::string FormatViewIds(const std::vector<ViewIdRow>& rows, bool json) {
  if (json) {
    QJsonArray list;
    for (const ViewIdRow& r : rows) {
      QJsonObject o;
      o["id"] = r.id;
      o["name"] = r.name;
      o["group"] = r.group;
      o["super_user"] = r.superUser != 0;
      o["no_file_transfer"] = r.noFileTransfer;
      o["no_log_delete"] = r.noLogDelete;
      o["no_server_control"] = r.noServerControl;
      o["no_remote_control"] = r.noRemoteControl;
      list.append(o);
    }
    QJsonObject o;
    o["view_ids"] = list;
    return Json(o);
  }
  std::vector<std::vector<QString>> cells;
  for (const ViewIdRow& r : rows)
    cells.push_back({QString::number(r.number), r.id, r.name, QString::number(r.group), QString::number(r.superUser),
                     Flag(r.noFileTransfer), Flag(r.noLogDelete), Flag(r.noServerControl), Flag(r.noRemoteControl)});
  return ColumnTable({"No.", "ID", "Name", "Group", "SuperUser", "NoFileTransfer", "NoLogDelete", "NoServerControl",
                      "NoRemoteControl"},
                     cells);
}

std::string FormatWolEntries(const std::vector<WolRow>& rows, bool json) {
  if (json) {
    QJsonArray list;
    for (const WolRow& r : rows) {
      QJsonObject o;
      o["name"] = r.name;
      o["mac"] = r.mac;
      list.append(o);
    }
    QJsonObject o;
    o["entries"] = list;
    return Json(o);
  }
  std::vector<std::vector<QString>> cells;
  for (const WolRow& r : rows) cells.push_back({QString::number(r.number), r.name, r.mac});
  return ColumnTable({"No.", "Name", "Mac Address"}, cells);
}

std::optional<std::string> FormatServerTime(std::int32_t secondsSince1970, bool json) {
  const QString message = ServerTimeMessage(secondsSince1970);
  if (message.isEmpty()) return std::nullopt;
  if (!json) return message.toStdString() + "\n";
  tzset();
  const std::time_t t = secondsSince1970;
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &t) != 0) return std::nullopt;
#else
  if (localtime_r(&t, &local) == nullptr) return std::nullopt;
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  QJsonObject o;
  o["seconds_since_1970"] = static_cast<qint64>(secondsSince1970);
  o["local_time"] = QString::fromLatin1(text);
  return Json(o);
}

std::string FormatDone(const QString& message, std::int32_t value, bool json) {
  if (!json) return message.toStdString() + "\n";
  QJsonObject o;
  o["message"] = message;
  o["value"] = static_cast<qint64>(value);
  return Json(o);
}

}  // namespace kolmara::cli
