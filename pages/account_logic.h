#pragma once
// The administrator page's rules for a new ID and password, apart from the
// widgets so that the command-line client applies the same checks.
#include <QByteArray>
#include <QString>
#include <optional>

namespace kolmara {

// Room of the text body's two fields, terminator excluded. A longer text
// would not reach the device whole, so it is refused instead of being cut.
inline constexpr int kMaxAdminIdBytes = 39;
inline constexpr int kMaxAdminPasswordBytes = 79;

inline constexpr char kMsgAdminIdEmpty[] = "관리자 아이디를 입력하세요.";
inline constexpr char kMsgAdminPasswordEmpty[] = "관리자 아이디/비밀번호를 변경하려면 새 비밀번호를 입력하세요.";
inline constexpr char kMsgAdminConfirmMismatch[] = "비밀번호확인이 일치하지 않습니다.";
inline constexpr char kMsgIdTooLong[] = "관리자 아이디가 너무 깁니다. 39바이트(한글 19자) 이내로 입력하세요.";
inline constexpr char kMsgPasswordTooLong[] = "비밀번호가 너무 깁니다. 79바이트(한글 39자) 이내로 입력하세요.";

inline constexpr char kMsgIdBadCharacter[] = "관리자 아이디에 사용할 수 없는 문자가 있습니다.";
inline constexpr char kMsgPasswordBadCharacter[] = "비밀번호에 사용할 수 없는 문자가 있습니다.";

// Whether the ANSI code page holds every character of `text`, that is,
// whether the bytes sent read back as the text typed. An ID or password with
// a character it lacks would reach the device with "?" in its place, and
// different passwords would become one, so they are refused instead.
bool FitsAnsiCodePage(const QString& text);

// The message for an ID or password with a character the code page lacks,
// ID first; nothing when both can be sent as typed.
std::optional<QString> CheckCredentialCharacters(const QString& id, const QString& password);

// The message for an ID or password that does not fit its field, ID first;
// nothing when both fit. Takes the texts already in the ANSI code page.
std::optional<QString> CheckCredentialLengths(const QByteArray& idAnsi, const QByteArray& passwordAnsi);

struct AdminChangeResult {
  bool ok = false;
  QString message;  // the first failing check's message; empty when ok
  QByteArray idAnsi;
  QByteArray passwordAnsi;
};

// Checks in this order: ID empty, password empty, confirmation differs
// (exact, case-sensitive), characters the code page lacks, then the two
// lengths. Texts are taken as typed:
// spaces are part of an ID.
AdminChangeResult CheckAdminChange(const QString& id, const QString& password, const QString& confirm);

}  // namespace kolmara
