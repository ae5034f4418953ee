#pragma once
// Text and number conversions between the UTF-16 of the windows and the 8-bit
// texts of the device: most in the process's "ANSI code page" (Microsoft's
// code page 949 unless KOLMARA_ANSI_CODEPAGE names another), a few in UTF-8.
//
// Every reader takes a byte range and stops at the first NUL or at the end of
// the range, whichever comes first, so no reader ever runs past a field.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/frame.h"  // UpToNul

namespace kolmara {

// The code page name used for every ANSI conversion. Read once from
// KOLMARA_ANSI_CODEPAGE (default "windows-949": ICU's "CP949" is IBM's
// variant and loses characters such as U+B620, bytes 8C 63).
QByteArray AnsiCodePageName();
// Replaces the process-wide code page (tests; the CLI's environment). Returns
// false and keeps the old one when the name is unknown to the converter.
bool SetAnsiCodePage(const QByteArray& name);

// The text in the ANSI code page, without terminator; characters the code
// page lacks become '?'.
QByteArray WideToAnsiBytes(const QString& text);

// Writes the text and its NUL into `buffer` when it fits in `bufferSize`
// bytes; returns the number of bytes the text needs, terminator included.
// When it does not fit, the buffer receives an empty text (if it has room
// for one) and nothing is cut: the caller compares the result with its room.
int WideToAnsi(const QString& text, char* buffer, std::size_t bufferSize);

QString AnsiToWide(const char* text, std::size_t maxBytes);
QString AnsiToWide(std::string_view text);

// UTF-8 to the ANSI code page via UTF-16; unrepresentable characters become '?'.
std::optional<QByteArray> Utf8ToAnsi(std::string_view text);
QByteArray AnsiToUtf8(std::string_view text);
// Unlike the 255-unit cap the old tool had, the whole text is returned.
QString Utf8ToWide(std::string_view text);

// "%02d.%02d.%02d" of the first three dotted parts; a part keeps at most 7
// bytes, a part without leading digits is 0.
QString NormaliseVersion(std::string_view text);

// Hexadecimal digits as the device writes them; letters G..Z count 16..35
// and nothing is refused, exactly as the device's own parser does.
std::int32_t HexTextToInt(std::string_view text);

// The bytes of a fixed field up to its first NUL, never past the field.
std::string_view FieldText(const std::uint8_t* field, std::size_t width);

}  // namespace kolmara
