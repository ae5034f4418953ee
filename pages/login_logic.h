#pragma once
// The login window's rules that need no widgets: credential checks, the
// verdict of the login reply and the window's messages. The command-line
// client logs in by the same rules.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kolmara {

inline constexpr char kMsgCannotConnect[] = "서버에 연결할 수 없습니다.";
inline constexpr char kMsgConnecting[] = "서버에 연결 중입니다. 잠시만 기다려 주세요.";
inline constexpr char kMsgLoginFailed[] = "로그인 실패입니다. 관리자 아이디 및 비밀번호를 확인하세요.";

// Section and value of the per-user profile that remembers the address.
inline constexpr char kProfileOrganisation[] = "KolmaraSetting_Key";
inline constexpr char kProfileSection[] = "KolmaraSettingLogin";
inline constexpr char kProfileAddressKey[] = "ControlServer";

struct LoginCredentials {
  bool ok = false;
  QString message;  // the character or length message when refused
  QByteArray idAnsi;
  QByteArray passwordAnsi;
};

// Converts ID and password to the ANSI code page and refuses either when it
// holds a character the code page lacks or is longer than its field of the login body (39 / 79 bytes); nothing is cut.
// Empty texts are sent as they are: the device is the judge of those.
LoginCredentials CheckLoginCredentials(const QString& id, const QString& password);

// The view-ID capacity that a login reply value grants: values 101..249 are
// an accepted login, capacity value - 100 clamped to 1..100. Anything else
// (negative values included) is a refusal.
std::optional<std::int32_t> LoginCapacity(std::int32_t value);

}  // namespace kolmara
