#pragma once
// The substitute device: a real TCP server that speaks the device side of the
// configuration protocol with the same codec and records as the tool. Tests,
// the demo mode and the command-line client's tests run it in-process;
// kolmara-qx-sim runs it on its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_state.h"

namespace kolmara::device {

struct SimConfig {
  std::string bindAddress = "127.0.0.1";
  std::uint16_t port = 0;  // 0: a free port
  std::string adminId = "admin", adminPassword = "admin";
  std::string platform = "QXPB4K";
  int viewIdCapacity = 10;  // kept within 1..100
  std::string stateFile;    // empty: state in memory only
  // Start with a few view IDs and Wake-on-LAN entries instead of empty
  // tables; a state file that already exists keeps its own.
  bool sampleData = false;
  int updateStepMs = 300;

  // Limits that keep one client from exhausting the device for the others.
  // Connections beyond the limit are closed at once; 0 takes the connection
  // limit of the information block (at least 1).
  int maxConnections = 0;
  int loginTimeoutMs = 30000;  // a connection not logged in by then is closed
  // A reply that a client has not taken within this time drops that client.
  int sendTimeoutMs = 5000;
  // Delayed replies (update stages, firmware results) waiting for all
  // clients together; a start request that would pass it is refused.
  int maxQueuedReplies = 1024;
  // Refused logins on one connection: the k-th refusal is answered after
  // k times this delay, and the last one allowed closes the connection.
  int loginDelayMs = 200;
  int maxLoginFailures = 5;
};

// Largest raw upload (codes 20 and 41) a connection may announce; anything
// longer, or negative, closes that connection.
inline constexpr std::int64_t kMaxRawUpload = 128LL * 1024 * 1024;

class SimDevice {
 public:
  explicit SimDevice(SimConfig config);
  ~SimDevice();  // Stop()
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  // Loads the state file (if any), binds, listens and starts the accept
  // thread. False with a message when the state file is corrupt or the
  // address cannot be bound.
  bool Start(std::string* error = nullptr);
  void Stop();  // closes every client, joins every thread
  std::uint16_t Port() const;
  std::size_t ClientCount() const;
  std::size_t LoggedInCount() const;

  // What a real device does unasked; sent to every connected client.
  void SendFrameToAll(std::uint8_t code, std::int32_t value, const std::vector<std::uint8_t>& plainBody = {},
                      bool scramble = true);
  void SendRawToAll(const std::vector<std::uint8_t>& wireBytes);  // anything, e.g. half a frame
  void CloseAllClients();
  void SetDripReplies(bool oneByteAtATime);
  void SetSilent(bool neverAnswer);  // reads requests but never replies

  // Copies taken under the lock.
  DeviceState State() const;
  void SetState(const DeviceState& state);

  // Number of raw upload bytes (codes 20 and 41) received completely so far.
  std::uint64_t UploadedBytes() const;

  // Delayed replies waiting to be sent, for every client together.
  std::size_t QueuedReplies() const;

  // Whether a request code has a handler; every request of the catalogue
  // must have one, anything else is consumed as a bare header.
  static bool HandlesRequest(std::uint8_t code);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace kolmara::device
