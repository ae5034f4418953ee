#include "pages/account_logic.h"

#include "connection/conversions.h"

namespace kolmara {

bool FitsAnsiCodePage(const QString& text) { return AnsiToWide(WideToAnsiBytes(text).toStdString()) == text; }

std::optional<QString> CheckCredentialCharacters(const QString& id, const QString& password) {
  if (!FitsAnsiCodePage(id)) return QString::fromUtf8(kMsgIdBadCharacter);
  if (!FitsAnsiCodePage(password)) return QString::fromUtf8(kMsgPasswordBadCharacter);
  return std::nullopt;
}

std::optional<QString> CheckCredentialLengths(const QByteArray& idAnsi, const QByteArray& passwordAnsi) {
  if (idAnsi.size() > kMaxAdminIdBytes) return QString::fromUtf8(kMsgIdTooLong);
  if (passwordAnsi.size() > kMaxAdminPasswordBytes) return QString::fromUtf8(kMsgPasswordTooLong);
  return std::nullopt;
}

AdminChangeResult CheckAdminChange(const QString& id, const QString& password, const QString& confirm) {
  AdminChangeResult result;
  if (id.isEmpty()) {
    result.message = QString::fromUtf8(kMsgAdminIdEmpty);
    return result;
  }
  if (password.isEmpty()) {
    result.message = QString::fromUtf8(kMsgAdminPasswordEmpty);
    return result;
  }
  if (password != confirm) {
    result.message = QString::fromUtf8(kMsgAdminConfirmMismatch);
    return result;
  }
  if (auto lacking = CheckCredentialCharacters(id, password)) {
    result.message = *lacking;
    return result;
  }
  result.passwordAnsi = WideToAnsiBytes(password);
  result.idAnsi = WideToAnsiBytes(id);
  if (auto tooLong = CheckCredentialLengths(result.idAnsi, result.passwordAnsi)) {
    result.message = *tooLong;
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace kolmara
