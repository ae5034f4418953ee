#pragma once
// One connection and its store for the length of a command: the login, the
// waits for answers, and the device's notices that arrive meanwhile.
#include <QString>
#include <chrono>
#include <memory>
#include <string>

#include "cli/command.h"
#include "connection/device_address.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/notify.h"
#include "pages/login_logic.h"

namespace kolmara::cli {

class Session {
 public:
  Session(ClientIo& io, std::chrono::milliseconds timeout);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CGlobalData& Store() { return *m_store; }
  CMySocket& Connection() { return *m_store->m_pConnection; }

  // Connects and logs in by the login window's rules; kExitOk once the
  // device has accepted the login.
  int Open(const DeviceAddress& address, const LoginCredentials& credentials);

  // Sends one request and waits for notification `code`: kExitOk with the
  // answer in `reply`, else the exit status (the send failed, the connection
  // ended, the time-out passed, or a device notice ended the session).
  template <class Send>
  int Exchange(Send&& send, int code, Notification& reply) {
    if (!send(Connection())) return Lost();
    return Await(code, reply);
  }

  // Waits for notification `code`. Device notices that arrive meanwhile are
  // handled as the main window handles them; the end of the connection and
  // the time-out end the wait.
  int Await(int code, Notification& result);

  // A request that could not be sent has closed the connection.
  int Lost();

  // A message exactly as the window shows it.
  void Show(const QString& message);
  // The client's own remarks, marked as such.
  void Note(const std::string& text);

 private:
  // What a notification leaves in the store, in one place, as the window's
  // dispatch applies it.
  void Absorb(const Notification& n);

  ClientIo& m_io;
  std::chrono::milliseconds m_timeout;
  // Declared before the store so that it outlives the connection posting into it.
  NotificationQueue m_queue;
  std::unique_ptr<CGlobalData> m_store;
};

}  // namespace kolmara::cli
