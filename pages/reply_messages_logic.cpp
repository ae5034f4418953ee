#include "pages/reply_messages_logic.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>

#include "connection/global_data.h"
#include "connection/records.h"
#include "pages/login_logic.h"
#include "pages/productinfo_logic.h"

namespace kolmara {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Rules of one code are tried in order; the first that matches decides.
constexpr ReplyMessageRule kRules[] = {
    {kNotifyAdminChanged, 101, 101, false, "관리자 아이디/비밀번호가 변경 되었습니다.", false},

    {kNotifyViewIdWritten, 101, 101, false, "센터아이디가 설정 되었습니다.", false},
    {kNotifyViewIdWritten, kMin, kMax, true, "센터아이디 설정이 실패 하였습니다.", false},

    {kNotifyWolWritten, 101, 101, false, "WOL이 설정 되었습니다.", false},
    {kNotifyWolWritten, kMin, kMax, true, "WOL이 설정이 실패하였습니다.", false},

    {kNotifyDdnsCheck, 101, 101, false, "사용가능한 아이디입니다.", false},
    {kNotifyDdnsCheck, 102, 102, false, "해당 아이디는 이미 사용 중입니다.", false},
    {kNotifyDdnsCheck, 103, 103, false, "해당 맥어드레스가 이미 사용 중입니다.", false},
    {kNotifyDdnsCheck, kMin, kMax, true, "알 수 없는 에러입니다. 다시 시도하세요.", false},

    // Product registration at the two DDNS services, "net" and "com". The
    // texts are the device tool's own, odd spacing and full stops included.
    {kNotifyMacRegistered, 101, 101, false, "net - 제품 등록 성공입니다., com - 제품 등록 성공입니다.", false},
    {kNotifyMacRegistered, 401, 401, false, "net - 이미 등록됨., com - 이미 등록됨.", false},
    {kNotifyMacRegistered, 402, 402, false, "net -  제품 등록 실패입니다., com -  제품 등록 실패입니다.", false},
    {kNotifyMacRegistered, 403, 403, false, "net - 이미 등록됨.., com - 제품 등록 성공입니다.", false},
    {kNotifyMacRegistered, 404, 404, false, "net - 제품 등록 성공입니다., com - 이미 등록됨.", false},
    {kNotifyMacRegistered, 405, 405, false, "net - 제품 등록 실패입니다., com - 제품 등록 성공입니다.", false},
    {kNotifyMacRegistered, 406, 406, false, "net - 제품 등록 성공입니다., com - 제품 등록 실패입니다.", false},
    {kNotifyMacRegistered, 407, 407, false, "net - 제품 등록 실패입니다., com - 이미 등록됨.", false},
    {kNotifyMacRegistered, 408, 408, false, "net - 이미 등록됨., com - 제품 등록 실패입니다.", false},
    {kNotifyMacRegistered, kMin, kMax, true, "제품 등록에 실패했습니다.(Unknown Error)", false},

    {kNotifyDdnsRegistered, 101, 101, false, "net - DDNS 등록 성공입니다, com - DDNS 등록 성공입니다", false},
    {kNotifyDdnsRegistered, 401, 401, false, "net - 제품등록이 필요합니다., com - 제품등록이 필요합니다.", false},
    {kNotifyDdnsRegistered, 402, 402, false, "net - 이미 등록됨., com - 이미 등록됨.", false},
    {kNotifyDdnsRegistered, 403, 403, false, "net - DDNS 등록 성공입니다., com - 제품등록이 필요합니다.", false},
    {kNotifyDdnsRegistered, 404, 404, false, "net - 제품등록이 필요합니다., com - DDNS 등록 성공입니다.", false},
    {kNotifyDdnsRegistered, 405, 405, false, "net - DDNS 등록 성공입니다., com -  이미 등록됨.", false},
    {kNotifyDdnsRegistered, 406, 406, false, "net - 이미 등록됨., com - DDNS 등록 성공입니다.", false},
    {kNotifyDdnsRegistered, 407, 407, false, "net - DDNS 등록 실패., com - DDNS 등록 실패.", false},
    {kNotifyDdnsRegistered, 408, 408, false, "net - DDNS 등록 성공., com - DDNS 등록 실패.", false},
    {kNotifyDdnsRegistered, 409, 409, false, "net - 등록 실패., com - DDNS 등록 성공.", false},
    {kNotifyDdnsRegistered, kMin, kMax, true, "DDNS 등록에 실패했습니다. 다시 시도하세요.", false},

    // The update page shows the other stages in its status fields.
    {kNotifyUpdateStage, 98, 98, false, "Update 실패입니다. - Update 할 수 있는 버전이 아닙니다.", false},
    {kNotifyUpdateStage, 99, 99, false, "Update서버 연결 실패입니다. - 1", false},

    {kNotifyDeviceNotice, 101, 101, false, "중계서버를 재시작 합니다.", true},
    {kNotifyDeviceNotice, 1001, 5499, false, "스케줄사용권한 설정이 변경되었습니다. 중계서버를 재시작해야 적용됩니다.", false},

    {kNotifyFirmwareUpdate, 0, 0, false, "펌웨어 업그레이드가 완료되었습니다. 서버가 재부팅됩니다.", true},
    {kNotifyFirmwareUpdate, 99, 99, false, "Update서버 연결 오류입니다.", false},

    {kNotifyNtpServer, kMin, kMax, true, "NTP Server가 설정되었습니다.", false},

    {kNotifyWebUpload, kMin, kMax, true, "WEB Page 업로드가 완료되었습니다.", false},

    {kNotifyFirmwareUpload, 0, 0, false, "Firmware 업로드가 완료되었습니다.", false},
    {kNotifyFirmwareUpload, 1, 1, false, "업로드한 Firmware의 platform이 장비와 일치하지 않습니다.", false},
    {kNotifyFirmwareUpload, 2, 2, false, "업로드한 Firmware의 파일크기 오류입니다.", false},
    {kNotifyFirmwareUpload, kMin, kMax, true, "Firmware 업로드가 실패하였습니다. - UNKNOWN", false},

    {kNotifyConnectionEnded, kMin, kMax, true, kMsgConnectionClosed, true},
};

// The view-ID table as the store has always held it: the 101 slots a table
// carries at least are cleared first, so records of an earlier, longer
// table do not linger in them; slots past the body keep what they held.
void StoreViewIdTable(const Notification& n, CGlobalData& store) {
  std::memset(store.m_pViewIdTable.get(), 0, kViewIdWireMinimum);
  // More than the store can hold is kept as 512; the reader dropped the rest.
  store.m_nViewIdCount = std::min<std::int32_t>(n.value, static_cast<std::int32_t>(kViewIdStoreSlots));
  const std::size_t length = std::min(n.table->size(), kViewIdStoreBytes);
  if (length > 0) std::memcpy(store.m_pViewIdTable.get(), n.table->data(), length);
}

void StoreWolTable(const Notification& n, CGlobalData& store) {
  // Readers index the table by this count: keep it inside the 101 entries.
  store.m_nWolCount = std::clamp<std::int32_t>(n.value, 0, static_cast<std::int32_t>(kWolEntries));
  const std::size_t length = std::min(n.table->size(), kWolTableSize);
  std::memcpy(store.m_WolTable.data(), n.table->data(), length);
}

}  // namespace

std::span<const ReplyMessageRule> ReplyMessageRules() { return kRules; }

QString ServerTimeMessage(std::int32_t secondsSince1970) {
  // tzset first: a changed TZ must be honoured, as the PC's own clock would be.
  tzset();
  const std::time_t t = secondsSince1970;
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &t) != 0) return {};
#else
  if (localtime_r(&t, &local) == nullptr) return {};
#endif
  return QString::fromUtf8("현재 서버의 시간은 %1-%2-%3 %4:%5:%6 입니다.")
      .arg(local.tm_year + 1900, 4, 10, QLatin1Char('0'))
      .arg(local.tm_mon + 1, 2, 10, QLatin1Char('0'))
      .arg(local.tm_mday, 2, 10, QLatin1Char('0'))
      .arg(local.tm_hour, 2, 10, QLatin1Char('0'))
      .arg(local.tm_min, 2, 10, QLatin1Char('0'))
      .arg(local.tm_sec, 2, 10, QLatin1Char('0'));
}

ReplyOutcome DescribeReply(int code, std::int32_t value) {
  ReplyOutcome outcome;
  if (code == kNotifyServerTime) {  // the device clock, answer to command 24
    outcome.message = ServerTimeMessage(value);
    return outcome;
  }
  if (code == kNotifyLogin) {
    if (!LoginCapacity(value)) outcome.message = QString::fromUtf8(kMsgLoginFailed);
    return outcome;
  }
  for (const ReplyMessageRule& rule : kRules) {
    if (rule.code != code) continue;
    if (!rule.anyValue && (value < rule.from || value > rule.to)) continue;
    if (rule.text) outcome.message = QString::fromUtf8(rule.text);
    outcome.endsWindow = rule.endsWindow;
    return outcome;
  }
  return outcome;
}

std::optional<std::int32_t> DeviceNoticeCapacity(std::int32_t value) {
  if (value >= 1 && value <= 99) return value;
  return std::nullopt;
}

std::optional<std::int32_t> DeviceNoticeConnectionLimit(std::int32_t value) {
  if (value >= 6001 && value <= 10000) return value - 6000;
  return std::nullopt;
}

void ApplyNotificationToStore(const Notification& n, CGlobalData& store) {
  switch (n.code) {
    case kNotifyLogin:
      if (const std::optional<std::int32_t> capacity = LoginCapacity(n.value)) {
        store.m_nViewIdCapacity = *capacity;
        store.m_bLoggedIn = 1;
      } else {
        store.m_bLoggedIn = 0;
      }
      break;
    case kNotifyDeviceInfo:
      if (n.block) ApplyDeviceInfoToStore(DeviceInfoBlock::FromBytes(n.block->data()), store);
      break;
    case kNotifyViewIdTable:
      if (n.table) StoreViewIdTable(n, store);
      break;
    case kNotifyWolTable:
      if (n.table) StoreWolTable(n, store);
      break;
    case kNotifyDeviceNotice:
      if (const auto capacity = DeviceNoticeCapacity(n.value))
        store.m_nViewIdCapacity = *capacity;
      else if (const auto limit = DeviceNoticeConnectionLimit(n.value))
        store.m_nConnectionLimit = *limit;
      break;
    default:
      break;
  }
}

}  // namespace kolmara
