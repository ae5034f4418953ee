#pragma once
// The view-ID record and what the view-ID page lists of the table, apart
// from the widgets so that the command-line client lists the same rows.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "protocol/catalogue.h"

namespace kolmara {

class CGlobalData;

// View-ID record, 388 bytes, the same in the store and on the wire:
//   0   80  ID, UTF-8, NUL-terminated
//   80  140 password digest: 128 upper-case hex digits of SHA-512, NUL
//   220 80  display name, UTF-8
//   300 4   group number, signed 32-bit (0..100 on the page)
//   304 1   super user (1 = yes)
//   305 33  reserved
//   338 1   no file transfer      339 1 no log delete
//   340 1   no server control     341 1 no remote control
//   342 3   reserved
//   345 43  the password in plain text, ANSI code page, at most 24 bytes
struct ViewIdRecord {
  static constexpr std::size_t kId = 0, kIdWidth = 80, kPasswordHash = 80, kPasswordHashWidth = 140,
                               kName = 220, kNameWidth = 80, kGroupNumber = 300, kSuperUser = 304,
                               kNoFileTransfer = 338, kNoLogDelete = 339, kNoServerControl = 340,
                               kNoRemoteControl = 341, kPassword = 345, kPasswordWidth = 43;

  std::array<std::uint8_t, kViewIdRecordSize> bytes{};

  static ViewIdRecord FromBytes(const std::uint8_t* data);

  std::string_view Id() const;            // UTF-8
  std::string_view PasswordHash() const;  // ASCII
  std::string_view Name() const;          // UTF-8
  std::int32_t GroupNumber() const;
  std::uint8_t SuperUser() const { return bytes[kSuperUser]; }
  std::uint8_t NoFileTransfer() const { return bytes[kNoFileTransfer]; }
  std::uint8_t NoLogDelete() const { return bytes[kNoLogDelete]; }
  std::uint8_t NoServerControl() const { return bytes[kNoServerControl]; }
  std::uint8_t NoRemoteControl() const { return bytes[kNoRemoteControl]; }
  std::string_view Password() const;      // ANSI
};
static_assert(sizeof(ViewIdRecord) == kViewIdRecordSize);

// One row of the page's list.
struct ViewIdRow {
  int number = 0;       // 1-based
  QString id;           // UTF-8 shown through the ANSI code page
  QString name;         // likewise
  std::int32_t group = 0;
  int superUser = 0;    // the byte as a number, as the list column shows it
  bool noFileTransfer = false;
  bool noLogDelete = false;
  bool noServerControl = false;
  bool noRemoteControl = false;
};

// The valid records 0..N-1 of the store's table. A count below 0 lists
// nothing, and one above the store's 512 slots lists only those: the device
// chooses the count, the store's size is ours.
std::vector<ViewIdRow> ListViewIds(const CGlobalData& store);

// The page's capacity label, "Max View ID : %d 개".
QString ViewIdCapacityLabel(std::int32_t capacity);

}  // namespace kolmara
