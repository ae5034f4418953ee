#pragma once
// How a typed device address becomes the host and port to connect to. Shared
// by the login window and the command-line client so both follow one rule.
#include <QString>

namespace kolmara {

// The maker's dynamic-DNS domain, appended to a bare device name.
inline constexpr char kDdnsSuffix[] = ".kolmaraqx.net";
// The second DDNS service's domain, shown beside the DDNS field.
inline constexpr char kDdnsSecondSuffix[] = ".kolmaraqx.com";

struct DeviceAddress {
  bool ok = false;    // false: the ":PORT" part is not a number in 1..65535
  QString host;       // what to connect to, suffix included when appended
  int port = 9502;
};

// "name", "10.0.0.5", "box.example.org" or any of them with ":PORT". The port
// is split off first (at the last colon); a host part without a "." gets the
// DDNS suffix, so an empty address becomes the suffix alone, as the device
// tool always did.
DeviceAddress ParseDeviceAddress(const QString& typed);

}  // namespace kolmara
