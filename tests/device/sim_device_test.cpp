// The tool's connection against the substitute device over loopback.
#include <gtest/gtest.h>

#include "connection/records.h"
#include "tests/device/device_fixture.h"

namespace kolmara::device::testing {
namespace {

using Sim = DeviceFixture;

TEST_F(Sim, LoginIsAcceptedWithTheCapacityInTheValue) {
  EXPECT_EQ(Login(), 110);
  EXPECT_EQ(m_device->LoggedInCount(), 1u);
}

TEST_F(Sim, InformationBlockCarriesTheDeviceFields) {
  DeviceState s = m_device->State();
  s.company = "콜마라 주식회사";
  s.ddnsName = "qxbox";
  s.email = "admin@example.com";
  s.connectionLimit = 40;
  m_device->SetState(s);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RequestDeviceInfo());
  const Notification n = Expect(2);
  ASSERT_TRUE(n.block.has_value());
  const DeviceInfoBlock b = DeviceInfoBlock::FromBytes(n.block->data());
  EXPECT_EQ(b.DeviceName(), "QXPB4K");
  EXPECT_EQ(b.EngineVersion(), "24.2.1");
  EXPECT_EQ(b.FirmwareVersion(), s.firmwareVersion);
  EXPECT_EQ(b.MacAddress(), s.mac);
  EXPECT_EQ(b.Company(), "콜마라 주식회사");
  EXPECT_EQ(b.DdnsName(), "qxbox");
  EXPECT_EQ(b.Email(), "admin@example.com");
  EXPECT_EQ(b.ConnectionLimit(), 40);
}

}  // namespace
}  // namespace kolmara::device::testing
