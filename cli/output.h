#pragma once
// What each command prints: one JSON object with --json, a readable table
// otherwise. Pure functions of the page logic's results.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pages/network_logic.h"
#include "pages/productinfo_logic.h"
#include "pages/viewid_logic.h"
#include "pages/wol_logic.h"

namespace kolmara::cli {

// Columns a text takes on a terminal: Hangul and other East Asian wide
// characters take two, so tables of Korean names stay aligned.
int DisplayWidth(const QString& text);

std::string FormatInfo(const ProductSummary& summary, bool json);
std::string FormatNetwork(const NetworkView& view, bool json);
std::string FormatViewIds(const std::vector<ViewIdRow>& rows, bool json);
std::string FormatWolEntries(const std::vector<WolRow>& rows, bool json);
// Nothing when the C library cannot turn the value into a local time.
std::optional<std::string> FormatServerTime(std::int32_t secondsSince1970, bool json);
// The confirmation of a command that changes a setting.
std::string FormatDone(const QString& message, std::int32_t value, bool json);

}  // namespace kolmara::cli
