#include "pages/login_logic.h"

#include <algorithm>

#include "connection/conversions.h"
#include "pages/account_logic.h"

namespace kolmara {

LoginCredentials CheckLoginCredentials(const QString& id, const QString& password) {
  LoginCredentials result;
  if (auto lacking = CheckCredentialCharacters(id, password)) {
    result.message = *lacking;
    return result;
  }
  result.idAnsi = WideToAnsiBytes(id);
  result.passwordAnsi = WideToAnsiBytes(password);
  if (auto tooLong = CheckCredentialLengths(result.idAnsi, result.passwordAnsi)) {
    result.message = *tooLong;
    return result;
  }
  result.ok = true;
  return result;
}

std::optional<std::int32_t> LoginCapacity(std::int32_t value) {
  if (value < 101 || value > 249) return std::nullopt;
  return std::clamp(value - 100, 1, 100);
}

}  // namespace kolmara
