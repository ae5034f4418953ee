#include "device/device_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "connection/conversions.h"
#include "protocol/frame.h"

namespace kolmara::device {

NetworkSettingsBlock DeviceState::DefaultNetwork() {
  NetworkSettingsFields f;
  f.ip = {192, 168, 0, 50};
  f.gateway = {192, 168, 0, 1};
  f.netmask = {255, 255, 255, 0};
  return BuildSettingsForm(f);
}

std::vector<TakenDdnsName> DeviceState::DefaultTakenNames() {
  return {{"kolmara", "00:1A:2B:00:00:01"}, {"demo", "00:1A:2B:00:00:02"}, {"office", "00:1A:2B:00:00:03"}};
}

namespace {

struct SampleViewId {
  const char* id;
  const char* password;  // typed text; stored in the ANSI code page
  const char* name;
  std::int32_t group;
  bool superUser, noFileTransfer, noLogDelete, noServerControl, noRemoteControl;
};

constexpr SampleViewId kSampleViewIds[] = {
    {"manager", "Kolmara#2024", "김민수", 0, true, false, false, false, false},
    {"sales01", "sales01!", "영업부 이영희", 1, false, false, true, true, false},
    {"support", "지원팀2024", "기술지원팀", 2, false, false, false, true, false},
    {"guest", "guest", "Guest", 100, false, true, true, true, true},
    {"ops7", "ops7-pw", "", 7, false, false, false, false, true},
};

struct SampleWolEntry {
  const char* name;
  const char* mac;
};

// Colons and one dashed address, as an import may leave them.
constexpr SampleWolEntry kSampleWolEntries[] = {
    {"영업부 PC", "00:1a:2b:3c:4d:01"},  {"회의실", "3c:97:0e:12:ab:cd"},
    {"OfficePC", "AB:39:22:44:12:AA"}, {"개발팀 서버", "00-11-32-ab-cd-ef"},
    {"NAS", "d8:50:e6:7a:10:02"},
};

std::string AnsiOf(const char* utf8) {
  const QByteArray b = WideToAnsiBytes(QString::fromUtf8(utf8));
  return std::string(b.constData(), std::size_t(b.size()));
}

// What a page stores of a typed text: through the code page, then UTF-8, so
// a character the code page lacks is kept as '?'.
std::string PageUtf8Of(const char* utf8) {
  const QByteArray b = AnsiToUtf8(AnsiOf(utf8));
  return std::string(b.constData(), std::size_t(b.size()));
}

}  // namespace

void FillSampleTables(DeviceState& state, int viewIdCapacity) {
  state.viewIdTable.assign(kViewIdStoreBytes, 0);
  state.viewIdCount = 0;
  for (const SampleViewId& v : kSampleViewIds) {
    if (state.viewIdCount >= viewIdCapacity) break;
    ViewIdRecord r;
    const std::string password = AnsiOf(v.password);
    // A text that does not fit is left out rather than cut.
    if (!r.SetId(PageUtf8Of(v.id)) || !r.SetName(PageUtf8Of(v.name)) || !r.SetPassword(password) ||
        !r.SetPasswordHash(ViewIdPasswordDigest(password)))
      continue;
    r.SetGroupNumber(v.group);
    r.SetSuperUser(v.superUser);
    r.SetNoFileTransfer(v.noFileTransfer);
    r.SetNoLogDelete(v.noLogDelete);
    r.SetNoServerControl(v.noServerControl);
    r.SetNoRemoteControl(v.noRemoteControl);
    r.CopyTo(state.viewIdTable.data() + std::size_t(state.viewIdCount) * kViewIdRecordSize);
    ++state.viewIdCount;
  }

  state.wolTable.assign(kWolTableSize, 0);
  state.wolCount = 0;
  for (const SampleWolEntry& w : kSampleWolEntries) {
    WolEntry e;
    if (!e.SetName(PageUtf8Of(w.name)) || !e.SetMacText(PageUtf8Of(w.mac))) continue;
    e.CopyTo(state.wolTable.data() + std::size_t(state.wolCount) * kWolEntrySize);
    ++state.wolCount;
  }
}

void NormaliseTables(DeviceState& state) {
  state.viewIdTable.resize(kViewIdStoreBytes, 0);
  state.wolTable.resize(kWolTableSize, 0);
  // A reply carries count x 388 bytes of the table: more records than the
  // table holds would be read from past its end.
  state.viewIdCount = std::min(state.viewIdCount, static_cast<std::int32_t>(kViewIdStoreSlots));
}

DeviceInfoBlock BuildInfoBlock(const DeviceState& s) {
  DeviceInfoBlock b;
  // Setters refuse texts that do not fit; the state loader refuses them first.
  b.SetDeviceName(s.platform);
  b.SetEngineVersion(s.engineVersion);
  b.SetFirmwareVersion(s.firmwareVersion);
  b.SetMacAddress(s.mac);
  b.SetCompany(s.company);
  b.SetDdnsName(s.ddnsName);
  b.SetEmail(s.email);
  b.SetConnectionLimit(s.connectionLimit);
  b.SetBlankMode(s.blankMode);
  b.SetDeviceByte272(s.deviceByte272);
  b.SetDeviceValue280(s.deviceValue280);
  return b;
}

NetworkSettingsBlock BuildNetworkReply(const DeviceState& s) {
  NetworkSettingsBlock b = s.network;
  b.SetMacAddress(s.mac);
  b.SetCompany(s.company);
  b.SetDdnsName(s.ddnsName);
  b.SetEmail(s.email);
  b.SetNtpServer(s.ntpServer);
  return b;
}

void TakeNetworkFields(DeviceState& s, const NetworkSettingsBlock& r) {
  NetworkSettingsBlock& n = s.network;
  n.SetTcpControlPort(r.TcpControlPort());
  n.SetWebSslPort(r.WebSslPort());
  n.SetRelayPort(r.RelayPort());
  n.SetWebServerPort(r.WebServerPort());
  n.SetIpAddress(r.IpAddress());
  n.SetGateway(r.Gateway());
  n.SetNetmask(r.Netmask());
  n.bytes[NetworkSettingsBlock::kDhcp] = r.DhcpByte();
  n.SetWebServerOff(r.WebServerOff());
  n.SetServiceFlags(r.ServiceFlags());
}

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::int32_t CheckDdnsName(const DeviceState& s, std::string_view name, std::string_view macText) {
  for (const TakenDdnsName& t : s.takenDdnsNames)
    if (EqualsNoCase(t.name, name) && !EqualsNoCase(t.macText, macText)) return 102;
  for (const TakenDdnsName& t : s.takenDdnsNames)
    if (!macText.empty() && EqualsNoCase(t.macText, macText) && !EqualsNoCase(t.name, name)) return 103;
  return 101;
}

std::int32_t FirmwareVerdict(std::string_view platform, std::uint8_t firstByte) {
  if (firstByte == 'F') return 0;
  if (firstByte != 'E' && firstByte != 'O' && firstByte != 'S') return 1;
  // Both 5K boards take the Standard2 edition; a board this table does not
  // know takes any edition, as the tool's own upload check lets it.
  struct Rule {
    const char* platform;
    char edition;
  };
  static constexpr Rule kRules[] = {{"QXPA4K", 'E'}, {"QXPB4K", 'O'}, {"QXPB5K", 'S'}, {"QXPA5K", 'S'}};
  for (const Rule& r : kRules)
    if (platform == r.platform) return firstByte == static_cast<std::uint8_t>(r.edition) ? 0 : 1;
  return 0;
}

// ---- JSON ------------------------------------------------------------------

namespace {

constexpr int kFormat = 1;

enum class TextKind { kAnsi, kUtf8 };

// A text is written as a JSON string when it converts there and back
// unchanged, otherwise as {"hex": "..."} so that no byte is ever lost.
QJsonValue TextToJson(const std::string& bytes, TextKind kind) {
  QString text;
  QByteArray back;
  if (kind == TextKind::kUtf8) {
    auto decode = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    back = decode.hasError() ? QByteArray() : text.toUtf8();
  } else {
    text = AnsiToWide(bytes);
    back = WideToAnsiBytes(text);
  }
  if (back == QByteArray(bytes.data(), qsizetype(bytes.size()))) return text;
  QJsonObject o;
  o["hex"] = QString::fromLatin1(QByteArray(bytes.data(), qsizetype(bytes.size())).toHex());
  return o;
}

QString MacToText(const Mac& mac) { return QString::fromStdString(FormatMacUpper(mac)); }

QString IpToText(const Ipv4& ip) { return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]); }

// Trailing zero bytes are left out; the reader pads them back.
QString TableToBase64(const std::vector<std::uint8_t>& table) {
  std::size_t used = table.size();
  while (used > 0 && table[used - 1] == 0) --used;
  return QString::fromLatin1(
      QByteArray(reinterpret_cast<const char*>(table.data()), qsizetype(used)).toBase64());
}

class Reader {
 public:
  explicit Reader(std::string* error) : m_error(error) {}
  bool failed() const { return m_failed; }

  bool Fail(const QString& what) {
    if (!m_failed && m_error) *m_error = what.toStdString();
    m_failed = true;
    return false;
  }

  // Absent members keep their default: a file from an older build stays usable.
  void Text(const QJsonObject& o, const char* key, std::size_t room, TextKind kind, std::string& out) {
    if (m_failed || !o.contains(key)) return;
    const QJsonValue v = o.value(key);
    std::string bytes;
    if (v.isString()) {
      const QByteArray b = kind == TextKind::kUtf8 ? v.toString().toUtf8() : WideToAnsiBytes(v.toString());
      bytes.assign(b.constData(), std::size_t(b.size()));
    } else if (v.isObject() && v.toObject().value("hex").isString()) {
      const QByteArray hex = v.toObject().value("hex").toString().toLatin1();
      const QByteArray b = QByteArray::fromHex(hex);
      if (b.toHex() != hex.toLower()) {
        Fail(QStringLiteral("\"%1\" holds bad hexadecimal digits").arg(key));
        return;
      }
      bytes.assign(b.constData(), std::size_t(b.size()));
    } else {
      Fail(QStringLiteral("\"%1\" is not a text").arg(key));
      return;
    }
    if (bytes.find('\0') != std::string::npos || bytes.size() + 1 > room) {
      Fail(QStringLiteral("\"%1\" does not fit its field of %2 bytes").arg(key).arg(room));
      return;
    }
    out = std::move(bytes);
  }

  template <typename T>
  void Int(const QJsonObject& o, const char* key, qint64 lo, qint64 hi, T& out) {
    if (m_failed || !o.contains(key)) return;
    const QJsonValue v = o.value(key);
    const double d = v.toDouble();
    // Range first: converting a double beyond qint64 (1e300) is undefined.
    if (!v.isDouble() || !(d >= double(lo) && d <= double(hi)) || d != std::floor(d)) {
      Fail(QStringLiteral("\"%1\" is not a whole number from %2 to %3").arg(key).arg(lo).arg(hi));
      return;
    }
    out = static_cast<T>(qint64(d));
  }

  void Bool(const QJsonObject& o, const char* key, bool& out) {
    if (m_failed || !o.contains(key)) return;
    if (!o.value(key).isBool()) {
      Fail(QStringLiteral("\"%1\" is not true or false").arg(key));
      return;
    }
    out = o.value(key).toBool();
  }

  template <std::size_t N>
  void Octets(const QJsonObject& o, const char* key, QChar sep, int base, std::array<std::uint8_t, N>& out) {
    if (m_failed || !o.contains(key)) return;
    const QStringList parts = o.value(key).toString().split(sep);
    std::array<std::uint8_t, N> r{};
    bool good = o.value(key).isString() && parts.size() == qsizetype(N);
    for (std::size_t i = 0; good && i < N; ++i) {
      bool ok = false;
      const uint n = parts[qsizetype(i)].toUInt(&ok, base);
      good = ok && n <= 255 && !parts[qsizetype(i)].isEmpty() && parts[qsizetype(i)].size() <= 3;
      r[i] = static_cast<std::uint8_t>(n);
    }
    if (!good) {
      Fail(QStringLiteral("\"%1\" is not a valid address").arg(key));
      return;
    }
    out = r;
  }

  void Table(const QJsonObject& o, const char* key, std::size_t size, std::vector<std::uint8_t>& out) {
    if (m_failed || !o.contains(key)) return;
    const QJsonValue v = o.value(key);
    auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!v.isString() || !decoded) {
      Fail(QStringLiteral("\"%1\" is not base64").arg(key));
      return;
    }
    if (std::size_t(decoded.decoded.size()) > size) {
      Fail(QStringLiteral("\"%1\" is longer than %2 bytes").arg(key).arg(size));
      return;
    }
    out.assign(size, 0);
    std::memcpy(out.data(), decoded.decoded.constData(), std::size_t(decoded.decoded.size()));
  }

  QJsonObject Object(const QJsonObject& o, const char* key) {
    if (m_failed || !o.contains(key)) return {};
    if (!o.value(key).isObject()) Fail(QStringLiteral("\"%1\" is not an object").arg(key));
    return o.value(key).toObject();
  }

 private:
  std::string* m_error;
  bool m_failed = false;
};

}  // namespace

QByteArray StateToJson(const DeviceState& s) {
  QJsonObject info;
  info["platform"] = TextToJson(s.platform, TextKind::kAnsi);
  info["engineVersion"] = TextToJson(s.engineVersion, TextKind::kAnsi);
  info["firmwareVersion"] = TextToJson(s.firmwareVersion, TextKind::kAnsi);
  info["mac"] = MacToText(s.mac);
  info["company"] = TextToJson(s.company, TextKind::kUtf8);
  info["ddnsName"] = TextToJson(s.ddnsName, TextKind::kAnsi);
  info["email"] = TextToJson(s.email, TextKind::kAnsi);
  info["connectionLimit"] = int(s.connectionLimit);
  info["blankMode"] = int(s.blankMode);
  info["deviceByte272"] = int(s.deviceByte272);
  info["deviceValue280"] = s.deviceValue280;

  const NetworkSettingsBlock& n = s.network;
  QJsonObject net;
  net["tcpControlPort"] = int(n.TcpControlPort());
  net["webSslPort"] = int(n.WebSslPort());
  net["relayPort"] = int(n.RelayPort());
  net["webServerPort"] = int(n.WebServerPort());
  net["ip"] = IpToText(n.IpAddress());
  net["gateway"] = IpToText(n.Gateway());
  net["netmask"] = IpToText(n.Netmask());
  net["dhcpByte"] = int(n.DhcpByte());
  net["webServerOff"] = n.WebServerOff();
  net["serviceFlags"] = qint64(n.ServiceFlags());

  QJsonObject viewIds;
  viewIds["count"] = s.viewIdCount;
  viewIds["table"] = TableToBase64(s.viewIdTable);
  QJsonObject wol;
  wol["count"] = s.wolCount;
  wol["table"] = TableToBase64(s.wolTable);

  QJsonObject root;
  root["format"] = kFormat;
  root["adminId"] = TextToJson(s.adminId, TextKind::kAnsi);
  root["adminPassword"] = TextToJson(s.adminPassword, TextKind::kAnsi);
  root["info"] = info;
  root["network"] = net;
  root["ntpServer"] = TextToJson(s.ntpServer, TextKind::kAnsi);
  root["viewIds"] = viewIds;
  root["wol"] = wol;
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<DeviceState> StateFromJson(const QByteArray& json, const DeviceState& defaults, std::string* error) {
  QJsonParseError parseError{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
  Reader r(error);
  if (doc.isNull()) {
    r.Fail(QStringLiteral("not JSON (%1 at offset %2)").arg(parseError.errorString()).arg(parseError.offset));
    return std::nullopt;
  }
  if (!doc.isObject()) {
    r.Fail(QStringLiteral("not a JSON object"));
    return std::nullopt;
  }
  const QJsonObject root = doc.object();
  if (root.value("format").toInt(-1) != kFormat) {
    r.Fail(QStringLiteral("\"format\" is not %1").arg(kFormat));
    return std::nullopt;
  }

  DeviceState s = defaults;
  NormaliseTables(s);
  r.Text(root, "adminId", kTextBodyFirstRoom, TextKind::kAnsi, s.adminId);
  r.Text(root, "adminPassword", kTextBodySecondRoom, TextKind::kAnsi, s.adminPassword);
  r.Text(root, "ntpServer", NetworkSettingsBlock::kNtpServerWidth, TextKind::kAnsi, s.ntpServer);

  const QJsonObject info = r.Object(root, "info");
  r.Text(info, "platform", DeviceInfoBlock::kDeviceNameWidth, TextKind::kAnsi, s.platform);
  r.Text(info, "engineVersion", DeviceInfoBlock::kEngineVersionWidth, TextKind::kAnsi, s.engineVersion);
  r.Text(info, "firmwareVersion", DeviceInfoBlock::kFirmwareVersionWidth, TextKind::kAnsi, s.firmwareVersion);
  r.Octets(info, "mac", ':', 16, s.mac);
  r.Text(info, "company", DeviceInfoBlock::kCompanyWidth, TextKind::kUtf8, s.company);
  r.Text(info, "ddnsName", DeviceInfoBlock::kDdnsNameWidth, TextKind::kAnsi, s.ddnsName);
  r.Text(info, "email", DeviceInfoBlock::kEmailWidth, TextKind::kAnsi, s.email);
  r.Int(info, "connectionLimit", 0, 65535, s.connectionLimit);
  r.Int(info, "blankMode", 0, 255, s.blankMode);
  r.Int(info, "deviceByte272", 0, 255, s.deviceByte272);
  r.Int(info, "deviceValue280", INT32_MIN, INT32_MAX, s.deviceValue280);

  const QJsonObject net = r.Object(root, "network");
  NetworkSettingsBlock& n = s.network;
  std::uint16_t port = 0;
  auto portField = [&](const char* key, std::uint16_t current, auto set) {
    port = current;
    r.Int(net, key, 0, 65535, port);
    set(port);
  };
  portField("tcpControlPort", n.TcpControlPort(), [&](std::uint16_t v) { n.SetTcpControlPort(v); });
  portField("webSslPort", n.WebSslPort(), [&](std::uint16_t v) { n.SetWebSslPort(v); });
  portField("relayPort", n.RelayPort(), [&](std::uint16_t v) { n.SetRelayPort(v); });
  portField("webServerPort", n.WebServerPort(), [&](std::uint16_t v) { n.SetWebServerPort(v); });
  Ipv4 ip = n.IpAddress(), gateway = n.Gateway(), netmask = n.Netmask();
  r.Octets(net, "ip", '.', 10, ip);
  r.Octets(net, "gateway", '.', 10, gateway);
  r.Octets(net, "netmask", '.', 10, netmask);
  n.SetIpAddress(ip);
  n.SetGateway(gateway);
  n.SetNetmask(netmask);
  std::uint8_t dhcp = n.DhcpByte();
  r.Int(net, "dhcpByte", 0, 255, dhcp);
  n.bytes[NetworkSettingsBlock::kDhcp] = dhcp;
  bool webOff = n.WebServerOff();
  r.Bool(net, "webServerOff", webOff);
  n.SetWebServerOff(webOff);
  std::uint32_t flags = n.ServiceFlags();
  r.Int(net, "serviceFlags", 0, UINT32_MAX, flags);
  n.SetServiceFlags(flags);

  const QJsonObject viewIds = r.Object(root, "viewIds");
  r.Int(viewIds, "count", 0, kViewIdStoreSlots, s.viewIdCount);
  r.Table(viewIds, "table", kViewIdStoreBytes, s.viewIdTable);
  const QJsonObject wol = r.Object(root, "wol");
  r.Int(wol, "count", 0, kWolEntries, s.wolCount);
  r.Table(wol, "table", kWolTableSize, s.wolTable);

  if (r.failed()) return std::nullopt;
  return s;
}

LoadResult LoadStateFile(const std::string& path, const DeviceState& defaults) {
  LoadResult result;
  result.state = defaults;
  const QString name = QString::fromStdString(path);
  if (!QFileInfo::exists(name)) {
    result.ok = true;
    return result;
  }
  result.found = true;
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = "state file " + path + " cannot be read: " + file.errorString().toStdString();
    return result;
  }
  std::string why;
  std::optional<DeviceState> s = StateFromJson(file.readAll(), defaults, &why);
  if (!s) {
    result.error = "state file " + path + " is corrupt: " + why + " (left unchanged)";
    return result;
  }
  result.state = std::move(*s);
  result.ok = true;
  return result;
}

namespace {

// Beside the state file, so the rename that replaces it stays within one
// file system; the marker keeps the clean-up at start from touching anything
// it did not write.
constexpr char kTemporaryMarker[] = ".tmp-";

}  // namespace

// The file holds the administrator's password: the temporary file is made
// readable by its owner only before a byte is written (QTemporaryFile creates
// it 0600, whatever the umask), and the rename carries that over.
bool SaveStateFile(const std::string& path, const DeviceState& state, std::string* error) {
  const QString target = QString::fromStdString(path);
  auto fail = [&](const QString& why) {
    if (error) *error = "state file " + path + " cannot be written: " + why.toStdString();
    return false;
  };
  QTemporaryFile file(target + kTemporaryMarker + "XXXXXX");
  if (!file.open()) return fail(file.errorString());
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  const QByteArray json = StateToJson(state);
  if (file.write(json) != json.size() || !file.flush()) return fail(file.errorString());
#ifndef _WIN32
  if (::fsync(file.handle()) != 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
#endif
  std::error_code ec;
  std::filesystem::rename(std::filesystem::path(file.fileName().toStdString()), std::filesystem::path(path), ec);
  if (ec) return fail(QString::fromStdString(ec.message()));
  file.setAutoRemove(false);
  return true;
}

void RemoveStaleTemporaryFiles(const std::string& path) {
  const QFileInfo info(QString::fromStdString(path));
  const QString prefix = info.fileName() + kTemporaryMarker;
  QDir dir = info.absoluteDir();
  for (const QString& name : dir.entryList({prefix + "??????"}, QDir::Files | QDir::Hidden | QDir::System))
    dir.remove(name);
}

}  // namespace kolmara::device
