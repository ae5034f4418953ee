#include "connection/global_data.h"

#include <cstring>

#include "connection/my_socket.h"

namespace kolmara {
namespace {
std::atomic<CGlobalData*> g_instance{nullptr};
}

CGlobalData::CGlobalData()
    : m_pViewIdTable(new std::uint8_t[kViewIdStoreBytes]()),
      m_pBulk22Buffer(new std::uint8_t[kBulk22Size]()),
      m_pBulk21Buffer(new std::uint8_t[kBulk21Size]()),
      m_pReceiveArea(new std::uint8_t[kBulk22Size]()) {
  CGlobalData* expected = nullptr;
  g_instance.compare_exchange_strong(expected, this);
}

CGlobalData::~CGlobalData() {
  // The connection's receive thread writes into this store: stop it first.
  if (m_pConnection) {
    m_pConnection->Disconnect();
    m_pConnection.reset();
  }
  CGlobalData* expected = this;
  g_instance.compare_exchange_strong(expected, nullptr);
}

CGlobalData* CGlobalData::Instance() { return g_instance.load(); }

}  // namespace kolmara
