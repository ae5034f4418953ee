#pragma once
// A device on loopback and the tool's own connection to it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/notify.h"
#include "device/sim_device.h"

namespace kolmara::device::testing {

using namespace std::chrono_literals;

inline constexpr auto kWait = 5s;

class DeviceFixture : public ::testing::Test {
 protected:
  void SetUp() override { StartDevice(SimConfig{}); }
  void TearDown() override {
    if (m_socket) m_socket->Disconnect();
    if (m_device) m_device->Stop();
  }

  void StartDevice(SimConfig config) {
    if (m_device) m_device->Stop();
    m_device = std::make_unique<SimDevice>(std::move(config));
    std::string error;
    ASSERT_TRUE(m_device->Start(&error)) << error;
  }

  CMySocket& Socket() {
    if (!m_socket) m_socket = std::make_unique<CMySocket>(&m_store);
    return *m_socket;
  }

  void Connect() {
    ASSERT_EQ(Socket().Connect(&m_queue, "127.0.0.1", m_device->Port(), 5000ms), 1);
  }

  // Connects and logs in with the given credentials; returns the login value.
  std::int32_t Login(const std::string& id = "admin", const std::string& password = "admin") {
    if (!Socket().IsConnected()) {
      m_queue.Clear();
      if (Socket().Connect(&m_queue, "127.0.0.1", m_device->Port(), 5000ms) != 1) return -1;
    }
    if (!Socket().SendLogin(id, password)) return -1;
    const auto n = m_queue.WaitFor(1, kWait);
    return n ? n->value : -1;
  }

  Notification Expect(int code) {
    auto n = m_queue.WaitFor(code, kWait);
    EXPECT_TRUE(n.has_value()) << "no notification " << code;
    return n.value_or(Notification{});
  }

  CGlobalData m_store;
  NotificationQueue m_queue;
  std::unique_ptr<CMySocket> m_socket;
  std::unique_ptr<SimDevice> m_device;
};

}  // namespace kolmara::device::testing
