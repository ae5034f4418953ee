#include "pages/reply_messages_logic.h"

#include <algorithm>
#include <ctime>
#include <limits>

#include "connection/global_data.h"
#include "pages/login_logic.h"

namespace kolmara {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Rules of one code are tried in order; the first that matches decides.
constexpr ReplyMessageRule kRules[] = {
    {1, 101, 249, false, nullptr, false},
    {1, kMin, kMax, true, kMsgLoginFailed, false},

    {3, 101, 101, false, "관리자 아이디/비밀번호가 변경 되었습니다.", false},

    {5, 101, 101, false, "센터아이디가 설정 되었습니다.", false},
    {5, kMin, kMax, true, "센터아이디 설정이 실패 하였습니다.", false},

    {7, 101, 101, false, "WOL이 설정 되었습니다.", false},
    {7, kMin, kMax, true, "WOL이 설정이 실패하였습니다.", false},

    {9, 101, 101, false, "사용가능한 아이디입니다.", false},
    {9, 102, 102, false, "해당 아이디는 이미 사용 중입니다.", false},
    {9, 103, 103, false, "해당 맥어드레스가 이미 사용 중입니다.", false},
    {9, kMin, kMax, true, "알 수 없는 에러입니다. 다시 시도하세요.", false},

    // Product registration at the two DDNS services, "net" and "com". The
    // texts are the device tool's own, odd spacing and full stops included.
    {10, 101, 101, false, "net - 제품 등록 성공입니다., com - 제품 등록 성공입니다.", false},
    {10, 401, 401, false, "net - 이미 등록됨., com - 이미 등록됨.", false},
    {10, 402, 402, false, "net -  제품 등록 실패입니다., com -  제품 등록 실패입니다.", false},
    {10, 403, 403, false, "net - 이미 등록됨.., com - 제품 등록 성공입니다.", false},
    {10, 404, 404, false, "net - 제품 등록 성공입니다., com - 이미 등록됨.", false},
    {10, 405, 405, false, "net - 제품 등록 실패입니다., com - 제품 등록 성공입니다.", false},
    {10, 406, 406, false, "net - 제품 등록 성공입니다., com - 제품 등록 실패입니다.", false},
    {10, 407, 407, false, "net - 제품 등록 실패입니다., com - 이미 등록됨.", false},
    {10, 408, 408, false, "net - 이미 등록됨., com - 제품 등록 실패입니다.", false},
    {10, kMin, kMax, true, "제품 등록에 실패했습니다.(Unknown Error)", false},

    {11, 101, 101, false, "net - DDNS 등록 성공입니다, com - DDNS 등록 성공입니다", false},
    {11, 401, 401, false, "net - 제품등록이 필요합니다., com - 제품등록이 필요합니다.", false},
    {11, 402, 402, false, "net - 이미 등록됨., com - 이미 등록됨.", false},
    {11, 403, 403, false, "net - DDNS 등록 성공입니다., com - 제품등록이 필요합니다.", false},
    {11, 404, 404, false, "net - 제품등록이 필요합니다., com - DDNS 등록 성공입니다.", false},
    {11, 405, 405, false, "net - DDNS 등록 성공입니다., com -  이미 등록됨.", false},
    {11, 406, 406, false, "net - 이미 등록됨., com - DDNS 등록 성공입니다.", false},
    {11, 407, 407, false, "net - DDNS 등록 실패., com - DDNS 등록 실패.", false},
    {11, 408, 408, false, "net - DDNS 등록 성공., com - DDNS 등록 실패.", false},
    {11, 409, 409, false, "net - 등록 실패., com - DDNS 등록 성공.", false},
    {11, kMin, kMax, true, "DDNS 등록에 실패했습니다. 다시 시도하세요.", false},

    {15, 101, 101, false, "중계서버를 재시작 합니다.", true},
    {15, 1001, 5499, false, "스케줄사용권한 설정이 변경되었습니다. 중계서버를 재시작해야 적용됩니다.", false},

    {18, 0, 0, false, "펌웨어 업그레이드가 완료되었습니다. 서버가 재부팅됩니다.", true},
    {18, 99, 99, false, "Update서버 연결 오류입니다.", false},

    {19, kMin, kMax, true, "NTP Server가 설정되었습니다.", false},

    {24, kMin, kMax, true, "WEB Page 업로드가 완료되었습니다.", false},

    {25, 0, 0, false, "Firmware 업로드가 완료되었습니다.", false},
    {25, 1, 1, false, "업로드한 Firmware의 platform이 장비와 일치하지 않습니다.", false},
    {25, 2, 2, false, "업로드한 Firmware의 파일크기 오류입니다.", false},
    {25, kMin, kMax, true, "Firmware 업로드가 실패하였습니다. - UNKNOWN", false},

    {255, kMin, kMax, true, kMsgConnectionClosed, true},
};

constexpr const char* F = "Finished";
constexpr const char* S = "Start";

constexpr UpdateProgressRow kProgress[] = {
    {0, 0, {S, nullptr, nullptr, nullptr, nullptr}, false, false, nullptr},
    {1, 1, {F, S, nullptr, nullptr, nullptr}, false, false, nullptr},
    {2, 2, {F, F, S, nullptr, nullptr}, false, false, nullptr},
    {3, 3, {F, F, F, S, nullptr}, false, false, nullptr},
    {4, 5, {F, F, F, F, nullptr}, false, false, nullptr},
    {6, 7, {F, F, F, F, S}, false, false, nullptr},
    {8, 8, {F, F, F, F, "Start F/W Update"}, true, true, nullptr},
    {98, 98, {}, true, false, "Update 실패입니다. - Update 할 수 있는 버전이 아닙니다."},
    {99, 99, {}, true, false, "Update서버 연결 실패입니다. - 1"},
};

}  // namespace

std::span<const ReplyMessageRule> ReplyMessageRules() { return kRules; }

std::span<const UpdateProgressRow> OnlineUpdateProgressTable() { return kProgress; }

const UpdateProgressRow* FindUpdateProgress(std::int32_t value) {
  for (const UpdateProgressRow& row : kProgress)
    if (value >= row.from && value <= row.to) return &row;
  return nullptr;
}

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

QString ViewIdCapacityLabel(std::int32_t capacity) {
  return QString::fromUtf8("Max View ID : %1 개").arg(capacity);
}

ReplyOutcome DescribeReply(int code, std::int32_t value) {
  ReplyOutcome outcome;
  if (code == 23) {  // the device clock, answer to command 24
    outcome.message = ServerTimeMessage(value);
    return outcome;
  }
  if (code == 12) {
    const UpdateProgressRow* row = FindUpdateProgress(value);
    if (row && row->message) outcome.message = QString::fromUtf8(row->message);
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

void ApplyReplyToStore(int code, std::int32_t value, CGlobalData& store) {
  if (code == 1) {
    if (value >= 101 && value <= 249) {
      store.m_nViewIdCapacity = std::min(value - 100, 100);
      store.m_bLoggedIn = 1;
    } else {
      store.m_bLoggedIn = 0;
    }
  } else if (code == 15) {
    if (value >= 1 && value <= 99)
      store.m_nViewIdCapacity = value;
    else if (value >= 6001 && value <= 10000)
      store.m_nConnectionLimit = value - 6000;
  }
}

}  // namespace kolmara
