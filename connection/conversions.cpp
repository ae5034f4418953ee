#include "connection/conversions.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdlib>
#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kolmara {
namespace {

struct CodePage {
  std::mutex mutex;
  QByteArray name;
};

CodePage& Page() {
  static CodePage page;
  static std::once_flag once;
  std::call_once(once, [] {
    const char* env = std::getenv("KOLMARA_ANSI_CODEPAGE");
    QByteArray wanted = (env && *env) ? QByteArray(env) : QByteArray("windows-949");
    if (!QStringEncoder(wanted.constData()).isValid()) wanted = "windows-949";
    page.name = wanted;
  });
  return page;
}

#ifdef _WIN32
UINT WindowsCodePage(const QByteArray& name) {
  // "windows-949", "cp949", "949" all name code page 949 here.
  QByteArray digits;
  for (char c : name)
    if (c >= '0' && c <= '9') digits += c;
  return digits.isEmpty() ? CP_ACP : static_cast<UINT>(digits.toUInt());
}
#endif

}  // namespace

QByteArray AnsiCodePageName() {
  auto& page = Page();
  std::lock_guard lock(page.mutex);
  return page.name;
}

bool SetAnsiCodePage(const QByteArray& name) {
  if (!QStringEncoder(name.constData()).isValid()) return false;
  auto& page = Page();
  std::lock_guard lock(page.mutex);
  page.name = name;
  return true;
}

std::string_view FieldText(const std::uint8_t* field, std::size_t width) {
  const auto* begin = reinterpret_cast<const char*>(field);
  const void* nul = std::memchr(begin, 0, width);
  return std::string_view(begin, nul ? static_cast<const char*>(nul) - begin : width);
}

QByteArray WideToAnsiBytes(const QString& text) {
#ifdef _WIN32
  const UINT cp = WindowsCodePage(AnsiCodePageName());
  const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
  const int n = WideCharToMultiByte(cp, 0, wide, text.size(), nullptr, 0, nullptr, nullptr);
  QByteArray out(n, Qt::Uninitialized);
  WideCharToMultiByte(cp, 0, wide, text.size(), out.data(), n, nullptr, nullptr);
  return out;
#else
  const QByteArray name = AnsiCodePageName();
  QStringEncoder encoder(name.constData());
  QByteArray out = encoder.encode(text);
  // The converter substitutes what a code page lacks with the code page's own
  // substitution byte (0x1A for the Western ones), but a device field must
  // get the '?' the administrator's own system would write. U+FFFF is in no
  // code page, so it shows which substitution this converter uses.
  const QByteArray substitute = QStringEncoder(name.constData()).encode(QStringView(u"\uFFFF"));
  if (substitute == "?" || substitute.isEmpty() || !out.contains(substitute)) return out;
  QByteArray fixed;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    const QStringView one = QStringView(text).mid(i, n);
    const QByteArray bytes = QStringEncoder(name.constData()).encode(one);
    // A character that really is the substitution byte (U+001A) decodes back to itself.
    if (bytes == substitute && QString(QStringDecoder(name.constData()).decode(bytes)) != one)
      fixed += '?';
    else
      fixed += bytes;
    i += n;
  }
  return fixed;
#endif
}

int WideToAnsi(const QString& text, char* buffer, std::size_t bufferSize) {
  const QByteArray bytes = WideToAnsiBytes(text);
  // A NUL inside the text ends it, as it would end the field on the device.
  const std::string_view visible = UpToNul(std::string_view(bytes.constData(), bytes.size()));
  const std::size_t needed = visible.size() + 1;
  if (needed <= bufferSize) {
    if (!visible.empty()) std::memcpy(buffer, visible.data(), visible.size());
    buffer[visible.size()] = '\0';
  } else if (bufferSize > 0) {
    buffer[0] = '\0';
  }
  return static_cast<int>(needed);
}

QString AnsiToWide(std::string_view text) {
  text = UpToNul(text);
  if (text.empty()) return QString();
#ifdef _WIN32
  const UINT cp = WindowsCodePage(AnsiCodePageName());
  const int n = MultiByteToWideChar(cp, 0, text.data(), int(text.size()), nullptr, 0);
  QString out(n, Qt::Uninitialized);
  MultiByteToWideChar(cp, 0, text.data(), int(text.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
#else
  QStringDecoder decoder(AnsiCodePageName().constData());
  return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
#endif
}

QString AnsiToWide(const char* text, std::size_t maxBytes) {
  if (!text) return QString();
  return AnsiToWide(FieldText(reinterpret_cast<const std::uint8_t*>(text), maxBytes));
}

QString Utf8ToWide(std::string_view text) {
  text = UpToNul(text);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<QByteArray> Utf8ToAnsi(std::string_view text) {
  return WideToAnsiBytes(Utf8ToWide(text));
}

QByteArray AnsiToUtf8(std::string_view text) { return AnsiToWide(text).toUtf8(); }

QString NormaliseVersion(std::string_view text) {
  text = UpToNul(text);
  constexpr std::size_t kPartRoom = 7;
  std::string parts[3];
  std::size_t part = 0;
  for (char c : text) {
    if (c == '.') {
      ++part;
      continue;
    }
    if (part < 3 && parts[part].size() < kPartRoom) parts[part] += c;
  }
  int numbers[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    // atoi's reading: leading white space, one sign, digits up to the first
    // other byte. Seven bytes cannot overflow an int.
    numbers[i] = std::atoi(parts[i].c_str());
  }
  return QString::asprintf("%02d.%02d.%02d", numbers[0], numbers[1], numbers[2]);
}

std::int32_t HexTextToInt(std::string_view text) {
  text = UpToNul(text);
  std::uint32_t result = 0;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    std::uint32_t digit;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
      digit = static_cast<std::uint32_t>((c & ~0x20u) - 55);
    else
      digit = static_cast<std::uint32_t>(c) - 48u;  // any other byte, wrapped like the device
    result = result * 16u + digit;
  }
  return static_cast<std::int32_t>(result);
}

}  // namespace kolmara
