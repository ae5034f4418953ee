// kolmara-qx-sim: the substitute device as a program of its own.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "connection/conversions.h"
#include "device/sim_device.h"
#include "kolmara_version.h"

namespace {

const char kUsage[] =
    "usage: kolmara-qx-sim [--bind ADDR] [--port N] [--admin-id ID] [--admin-password PW]\n"
    "                      [--platform CODE] [--viewid-capacity N] [--state FILE] [--update-step-ms MS]\n"
    "                      [--sample-data] [--max-connections N] [--login-timeout S]\n"
    "\n"
    "  --bind ADDR            numeric address to listen on (default 127.0.0.1)\n"
    "  --port N               TCP port, 0 for a free one (default 9502)\n"
    "  --admin-id ID          administrator ID (default admin)\n"
    "  --admin-password PW    administrator password (default admin)\n"
    "  --platform CODE        platform code reported as the device name (default QXPB4K)\n"
    "  --viewid-capacity N    view-ID capacity 1..100 reported at login (default 10)\n"
    "  --state FILE           keep the settings in this JSON file (default: in memory)\n"
    "  --update-step-ms MS    pause between online update stages (default 300)\n"
    "  --sample-data          start with a few view IDs and Wake-on-LAN entries, Korean\n"
    "                         names among them (default: both tables empty); a --state\n"
    "                         file that already exists keeps its own tables\n"
    "  --max-connections N    connections served at once, more are closed at once\n"
    "                         (default: the connection limit of the information block, 32)\n"
    "  --login-timeout S      seconds a connection may take to log in (default 30)\n"
    "  --help                 show this text\n"
    "  --version              show the version\n"
    "\n"
    "Refused logins on one connection are answered after 0.2 s times their number\n"
    "(0.2 s, 0.4 s, ...); the 5th refusal closes the connection. A client that has\n"
    "not taken a reply within 5 s is disconnected. Each connection runs at most one\n"
    "online update at a time, and at most 1024 delayed update replies wait in all.\n";

bool ParseInt(const char* text, long lo, long hi, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

// The command line arrives in UTF-8, but the tool sends its login texts in
// the ANSI code page: compared as typed, a Korean ID could never log in.
std::string ToAnsi(const char* utf8) {
  const auto ansi = kolmara::Utf8ToAnsi(utf8);
  return ansi ? ansi->toStdString() : std::string();
}

int Usage(const char* problem) {
  std::fprintf(stderr, "kolmara-qx-sim: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kolmara::device::SimConfig config;
  config.port = 9502;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("kolmara-qx-sim %s\n", kolmara::kProjectVersion);
      return 0;
    }
    if (arg == "--sample-data") {
      config.sampleData = true;
      continue;
    }
    if (i + 1 >= argc) return Usage(("missing value after " + arg).c_str());
    const char* value = argv[++i];
    long n = 0;
    if (arg == "--bind") {
      config.bindAddress = value;
    } else if (arg == "--port") {
      if (!ParseInt(value, 0, 65535, n)) return Usage("--port takes 0 to 65535");
      config.port = static_cast<std::uint16_t>(n);
    } else if (arg == "--admin-id") {
      config.adminId = ToAnsi(value);
    } else if (arg == "--admin-password") {
      config.adminPassword = ToAnsi(value);
    } else if (arg == "--platform") {
      config.platform = ToAnsi(value);
    } else if (arg == "--viewid-capacity") {
      if (!ParseInt(value, 1, 100, n)) return Usage("--viewid-capacity takes 1 to 100");
      config.viewIdCapacity = static_cast<int>(n);
    } else if (arg == "--max-connections") {
      if (!ParseInt(value, 1, 65535, n)) return Usage("--max-connections takes 1 to 65535");
      config.maxConnections = static_cast<int>(n);
    } else if (arg == "--login-timeout") {
      if (!ParseInt(value, 1, 86400, n)) return Usage("--login-timeout takes 1 to 86400");
      config.loginTimeoutMs = static_cast<int>(n) * 1000;
    } else if (arg == "--state") {
      config.stateFile = value;
    } else if (arg == "--update-step-ms") {
      if (!ParseInt(value, 0, 600000, n)) return Usage("--update-step-ms takes 0 to 600000");
      config.updateStepMs = static_cast<int>(n);
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  // Texts the login body cannot carry would make a device nobody can log in
  // to; their room is counted in the code page.
  if (config.adminId.empty() || config.adminId.size() > 39) return Usage("--admin-id takes 1 to 39 bytes");
  if (config.adminPassword.empty() || config.adminPassword.size() > 79)
    return Usage("--admin-password takes 1 to 79 bytes");
  if (config.platform.size() > 15) return Usage("--platform takes at most 15 bytes");

#ifndef _WIN32
  // Blocked before any thread starts, so every thread inherits the mask and
  // the signals wait for sigwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
#endif

  kolmara::device::SimDevice device(config);
  std::string error;
  if (!device.Start(&error)) {
    std::fprintf(stderr, "kolmara-qx-sim: %s\n", error.c_str());
    return 1;
  }
  const bool v6 = config.bindAddress.find(':') != std::string::npos;
  std::printf(v6 ? "listening on [%s]:%u\n" : "listening on %s:%u\n", config.bindAddress.c_str(),
              static_cast<unsigned>(device.Port()));
  std::fflush(stdout);

#ifndef _WIN32
  int signal = 0;
  sigwait(&stopSignals, &signal);
#else
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
#endif
  device.Stop();
  return 0;
}
