#pragma once
// The device data store: one per run, reachable process-wide. The receive
// thread writes the tables and bulk buffers, then posts the notification that
// announces them; the user-interface thread reads them only on that
// notification. That order, not a lock, is what keeps them consistent.
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "protocol/catalogue.h"

namespace kolmara {

class CMySocket;

class CGlobalData {
 public:
  CGlobalData();
  virtual ~CGlobalData();
  CGlobalData(const CGlobalData&) = delete;
  CGlobalData& operator=(const CGlobalData&) = delete;

  // The first store created; cleared when it is destroyed.
  static CGlobalData* Instance();

  std::int32_t m_bLoggedIn = 0;
  QString m_strEngineVersion;  // normalised "%02d.%02d.%02d"
  QString m_strAddress;        // as connected, DDNS suffix included
  QString m_strDeviceName;     // the device's platform code
  std::unique_ptr<CMySocket> m_pConnection;
  // Written by both threads (reply 25 and the information block); nobody reads it.
  std::atomic<std::int32_t> m_nBlankMode{0};
  std::int32_t m_nDeviceByte272 = 0;
  std::int32_t m_nDeviceValue280 = 0;
  std::int32_t m_nViewIdCapacity = 10;
  std::int32_t m_nConnectionLimit = 0;
  std::int32_t m_nViewIdCount = 0;
  std::unique_ptr<std::uint8_t[]> m_pViewIdTable;  // kViewIdStoreBytes: 512 slots of 388 bytes
  std::int32_t m_nWolCount = 0;
  std::array<std::uint8_t, kWolTableSize> m_WolTable{};
  std::int32_t m_nBulk22Value = 0;
  std::unique_ptr<std::uint8_t[]> m_pBulk22Buffer;  // kBulk22Size
  std::int32_t m_nBulk21Value = 0;
  std::unique_ptr<std::uint8_t[]> m_pBulk21Buffer;  // kBulk21Size

  // The receive thread's work area, big enough for any body it keeps
  // (512 view-ID records is the largest). Allocated here so that nothing is
  // allocated while replies arrive.
  std::unique_ptr<std::uint8_t[]> m_pReceiveArea;  // kViewIdStoreBytes

  std::uint8_t* ViewIdSlot(std::size_t slot) { return m_pViewIdTable.get() + slot * kViewIdRecordSize; }
  std::uint8_t* WolEntry(std::size_t entry) { return m_WolTable.data() + entry * kWolEntrySize; }
};

}  // namespace kolmara
