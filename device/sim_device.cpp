#include "device/sim_device.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>

#include "connection/conversions.h"
#include "connection/net_platform.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

namespace kolmara::device {
namespace {

using Clock = std::chrono::steady_clock;

// Status values of the replies.
constexpr std::int32_t kOk = 101;
constexpr std::int32_t kFailed = 0;
constexpr std::int32_t kMacAlreadyRegistered = 401;
constexpr std::int32_t kDdnsAlreadyRegistered = 402;
constexpr std::int32_t kFirmwareAccepted = 0;
constexpr std::int32_t kFirmwareSizeError = 2;
constexpr int kLastUpdateStage = 8;
constexpr std::int64_t kFirmwareMinSize = 1024;
constexpr std::int64_t kFirmwareMaxSize = kMaxRawUpload - 1;
// What the update pages show as "the update server cannot be reached": the
// answer when the device has no room to queue another update.
constexpr std::int32_t kUpdateServerUnreachable = 99;
// Out of descriptors, the accept loop waits this long at first and doubles
// up to the cap; short enough that Stop and recovery stay quick.
constexpr auto kAcceptBackoffFirst = std::chrono::milliseconds(10);
constexpr auto kAcceptBackoffMax = std::chrono::milliseconds(200);

int WaitMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60000));
}

std::vector<std::uint8_t> Frame(std::uint8_t code, std::int32_t value, const std::uint8_t* body, std::size_t length,
                                bool scramble) {
  std::vector<std::uint8_t> out(kHeaderSize + length);
  const WireHeader h = EncodeHeader(code, value);
  std::memcpy(out.data(), h.data(), h.size());
  if (length > 0) {
    if (scramble)
      ScrambleBytes(body, out.data() + kHeaderSize, length);
    else
      std::memcpy(out.data() + kHeaderSize, body, length);
  }
  return out;
}

}  // namespace

struct Client {
  Client(net::Socket s, Clock::duration sendLimit, Clock::time_point loginBy)
      : socket(s), sendLimit(sendLimit), loginDeadline(loginBy) {}

  net::Socket socket;
  std::thread reader;
  std::mutex sendMutex;   // one frame at a time; held while the socket is closed
  std::mutex closeMutex;  // never held across a blocking call
  std::atomic<bool> closed{false};
  std::atomic<bool> woken{false};
  std::atomic<bool> loggedIn{false};
  std::atomic<bool> finished{false};
  const Clock::duration sendLimit;
  const Clock::time_point loginDeadline;
  int refusedLogins = 0;     // the reader's own
  int pendingReplies = 0;    // guarded by the device's job mutex

  // Whole frames only; a failed send wakes the reader, which ends the client.
  // A frame that does not leave within the send limit counts as failed: a
  // client that stops reading must not hold whoever sends to it (the
  // socket's own send time-out bounds each blocking call).
  bool Send(const std::vector<std::uint8_t>& bytes, bool drip) {
    std::lock_guard lock(sendMutex);
    if (closed.load()) return false;
    const auto deadline = Clock::now() + sendLimit;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::size_t chunk = drip ? 1 : bytes.size() - done;
      const long r = net::SendSome(socket, bytes.data() + done, chunk);
      if (r <= 0 || Clock::now() > deadline) {
#ifndef _WIN32
        if (r < 0 && errno == EINTR && Clock::now() <= deadline) continue;
#endif
        Wake();
        return false;
      }
      done += static_cast<std::size_t>(r);
      // A pause now and then, so the bytes really arrive in pieces without
      // making a 39 KB table take minutes.
      if (drip && done % 64 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  // Ends the connection without closing the descriptor: a blocked recv or
  // send returns, and nobody can hit a reused descriptor.
  void Wake() {
    woken = true;
    std::lock_guard lock(closeMutex);
    if (!closed.load()) net::Shutdown(socket);
  }

  // A pause on this connection that ends early when the connection does.
  void Pause(Clock::duration d) {
    const auto until = Clock::now() + d;
    while (!woken.load() && Clock::now() < until)
      std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(10), until - Clock::now()));
  }

  // Only after the reader has been joined.
  void CloseSocket() {
    Wake();
    std::lock_guard send(sendMutex);
    std::lock_guard lock(closeMutex);
    if (!closed.exchange(true)) net::Close(socket);
  }

  // Until the login is accepted every read counts against the login
  // deadline, so an idle or dripping connection cannot hold its thread.
  bool ReceiveExactly(std::uint8_t* buffer, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
      if (!loggedIn.load()) {
        pollfd p{socket, POLLIN, 0};
        int rc;
        do {
          rc = ::poll(&p, 1, WaitMs(loginDeadline));
        } while (rc < 0 && errno == EINTR);
        if (rc <= 0) return false;
      }
      const long r = net::RecvSome(socket, buffer + done, length - done);
      if (r <= 0) return false;
      done += static_cast<std::size_t>(r);
    }
    return true;
  }
};

struct SimDevice::Impl {
  explicit Impl(SimConfig c) : config(std::move(c)) {
    config.viewIdCapacity = std::clamp(config.viewIdCapacity, 1, 100);
    config.updateStepMs = std::max(config.updateStepMs, 0);
    config.maxConnections = std::max(config.maxConnections, 0);
    config.loginTimeoutMs = std::max(config.loginTimeoutMs, 1);
    config.sendTimeoutMs = std::max(config.sendTimeoutMs, 1);
    config.maxQueuedReplies = std::max(config.maxQueuedReplies, 0);
    config.loginDelayMs = std::max(config.loginDelayMs, 0);
    config.maxLoginFailures = std::max(config.maxLoginFailures, 1);
    state.adminId = config.adminId;
    state.adminPassword = config.adminPassword;
    state.platform = config.platform;
    if (config.sampleData) FillSampleTables(state, config.viewIdCapacity);
  }

  SimConfig config;
  bool socketLayer = false;

  mutable std::mutex stateMutex;
  DeviceState state;

  std::atomic<bool> running{false};
  std::atomic<bool> stopping{false};
  net::Socket listener = net::kInvalidSocket;
  std::uint16_t port = 0;
  std::thread acceptThread;

  mutable std::mutex clientsMutex;
  std::list<std::shared_ptr<Client>> clients;

  std::atomic<bool> drip{false};
  std::atomic<bool> silent{false};
  std::atomic<std::uint64_t> uploadedBytes{0};

  // Replies that come later (update stages, the firmware result): one
  // thread for the whole device, jobs in due order. Each client has at most
  // one update in progress and the queue as a whole is bounded, so no client
  // can grow it; sends are time-limited, so no client can stall it.
  struct Job {
    std::weak_ptr<Client> client;
    std::uint8_t code;
    std::int32_t value;
  };
  mutable std::mutex jobMutex;
  std::condition_variable jobCv;
  std::multimap<Clock::time_point, Job> jobs;
  bool jobsStop = false;
  std::thread jobThread;

  // ---- lifecycle -------------------------------------------------------

  bool Start(std::string* error);
  void Stop();
  void AcceptLoop();
  void JobLoop();
  void ReapFinished();
  void Admit(net::Socket s);
  std::size_t ConnectionLimit() const;

  // ---- state -----------------------------------------------------------

  // Applies a change and persists it. When the file cannot be written the
  // change is dropped, so a failure is never answered as success. A change
  // that returns false is not applied: it decides on the state it sees under
  // the same lock, so two sessions cannot both pass one check.
  template <typename F>
  bool Commit(F&& change) {
    std::lock_guard lock(stateMutex);
    DeviceState next = state;
    if constexpr (std::is_same_v<std::invoke_result_t<F&, DeviceState&>, bool>) {
      if (!change(next)) return false;
    } else {
      change(next);
    }
    if (!config.stateFile.empty()) {
      std::string why;
      if (!SaveStateFile(config.stateFile, next, &why)) {
        std::fprintf(stderr, "kolmara-qx-sim: %s\n", why.c_str());
        return false;
      }
    }
    state = std::move(next);
    return true;
  }

  // ---- one connection --------------------------------------------------

  void ServeClient(const std::shared_ptr<Client>& client);
  bool HandleRequest(Client& client, const FrameHeader& header);

  // One handler per request code. The dispatcher has read the body the
  // catalogue prescribes (whole and unscrambled) before the handler runs,
  // except a raw body, which the handler consumes itself. A handler returns
  // false to close the connection.
  struct Request {
    const FrameHeader& header;
    const std::vector<std::uint8_t>& body;  // empty for a raw body
    std::uint64_t bodyLength;               // as announced, raw bodies included
  };
  using Handler = bool (Impl::*)(Client&, const Request&);
  struct HandlerEntry {
    std::uint8_t code;
    Handler handle;
    // An announced body longer than this closes the connection before any of
    // it is read: reading whatever length a peer names is not bounded.
    std::uint64_t maxBody = UINT64_MAX;
  };
  static const HandlerEntry* FindHandler(std::uint8_t code);

  bool OnLogin(Client& client, const Request& r);
  bool OnGetInfo(Client& client, const Request& r);
  bool OnSetAdmin(Client& client, const Request& r);
  bool OnGetViewIdList(Client& client, const Request& r);
  bool OnSetViewIdList(Client& client, const Request& r);
  bool OnGetWolTable(Client& client, const Request& r);
  bool OnSetWolTable(Client& client, const Request& r);
  bool OnGetNetwork(Client& client, const Request& r);
  bool OnSetNetwork(Client& client, const Request& r);
  bool OnCheckDdnsId(Client& client, const Request& r);
  bool OnRegisterMac(Client& client, const Request& r);
  bool OnRegisterDdns(Client& client, const Request& r);
  bool OnOnlineUpdate(Client& client, const Request& r);
  bool OnFirmwareUpdate(Client& client, const Request& r);
  bool OnRawUpload(Client& client, const Request& r);
  bool OnGetServerTime(Client& client, const Request& r);
  bool OnSetNtpServer(Client& client, const Request& r);

  bool Reply(Client& client, std::uint8_t code, std::int32_t value, const std::uint8_t* body = nullptr,
             std::size_t length = 0) {
    if (silent.load()) return true;
    client.Send(Frame(code, value, body, length, true), drip.load());
    return true;
  }
  bool ReadScrambled(Client& client, std::vector<std::uint8_t>& out, std::uint64_t length) {
    out.resize(static_cast<std::size_t>(length));
    if (!client.ReceiveExactly(out.data(), out.size())) return false;
    UnscrambleBytes(out.data(), out.data(), out.size());
    return true;
  }
  enum class Queued { kYes, kBusy, kFull };
  // Queues the replies of one update as a whole or not at all: not while
  // the client still waits for replies of an earlier one, and not beyond
  // the bound of the queue.
  Queued ScheduleUpdate(const std::shared_ptr<Client>& client,
                        const std::vector<std::pair<Clock::duration, std::int32_t>>& replies, std::uint8_t code) {
    if (!client) return Queued::kBusy;
    {
      std::lock_guard lock(jobMutex);
      if (client->pendingReplies > 0) return Queued::kBusy;
      if (jobs.size() + replies.size() > static_cast<std::size_t>(config.maxQueuedReplies)) return Queued::kFull;
      const auto now = Clock::now();
      for (const auto& [delay, value] : replies) jobs.emplace(now + delay, Job{client, code, value});
      client->pendingReplies = static_cast<int>(replies.size());
    }
    jobCv.notify_all();
    return Queued::kYes;
  }
  std::shared_ptr<Client> Find(Client& raw) {
    std::lock_guard lock(clientsMutex);
    for (const auto& c : clients)
      if (c.get() == &raw) return c;
    return nullptr;
  }
  std::vector<std::shared_ptr<Client>> Snapshot() const {
    std::lock_guard lock(clientsMutex);
    std::vector<std::shared_ptr<Client>> out;
    for (const auto& c : clients)
      if (!c->finished.load()) out.push_back(c);
    return out;
  }
};

bool SimDevice::Impl::Start(std::string* error) {
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  if (running.load()) return fail("already running");

  if (!config.stateFile.empty()) {
    RemoveStaleTemporaryFiles(config.stateFile);
    DeviceState defaults;
    {
      std::lock_guard lock(stateMutex);
      defaults = state;
    }
    LoadResult loaded = LoadStateFile(config.stateFile, defaults);
    if (!loaded.ok) return fail(loaded.error);
    // The platform is the board's, not a setting the file could change.
    loaded.state.platform = config.platform;
    loaded.state.takenDdnsNames = defaults.takenDdnsNames;
    if (!loaded.found) {
      std::string why;
      if (!SaveStateFile(config.stateFile, loaded.state, &why)) return fail(why);
    } else {
      // A file written before it was kept to its owner holds the password too.
      QFile::setPermissions(QString::fromStdString(config.stateFile), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    std::lock_guard lock(stateMutex);
    state = std::move(loaded.state);
  }

  socketLayer = net::StartUp();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(config.port);
  if (getaddrinfo(config.bindAddress.c_str(), service.c_str(), &hints, &found) != 0 || !found)
    return fail("not a numeric address: " + config.bindAddress);
  net::Socket s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (s == net::kInvalidSocket) {
    freeaddrinfo(found);
    return fail("cannot create a socket");
  }
  int one = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
  if (::bind(s, found->ai_addr, static_cast<socklen_t>(found->ai_addrlen)) != 0 || ::listen(s, 16) != 0) {
    const int e = net::LastError();
    freeaddrinfo(found);
    net::Close(s);
    return fail("cannot listen on " + config.bindAddress + ":" + service + ": " + std::strerror(e));
  }
  freeaddrinfo(found);
  sockaddr_storage bound{};
  socklen_t boundLen = sizeof bound;
  getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLen);
  port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  listener = s;
  stopping = false;
  {
    std::lock_guard lock(jobMutex);
    jobsStop = false;
  }
  running = true;
  jobThread = std::thread(&Impl::JobLoop, this);
  acceptThread = std::thread(&Impl::AcceptLoop, this);
  return true;
}

void SimDevice::Impl::Stop() {
  if (!running.exchange(false)) return;
  stopping = true;
  if (acceptThread.joinable()) acceptThread.join();
  net::Close(listener);
  listener = net::kInvalidSocket;

  std::list<std::shared_ptr<Client>> all;
  {
    std::lock_guard lock(clientsMutex);
    all.swap(clients);
  }
  for (const auto& c : all) c->Wake();
  for (const auto& c : all) {
    if (c->reader.joinable()) c->reader.join();
    c->CloseSocket();
  }
  {
    std::lock_guard lock(jobMutex);
    jobsStop = true;
    jobs.clear();
  }
  jobCv.notify_all();
  if (jobThread.joinable()) jobThread.join();
  if (socketLayer) net::CleanUp();
  socketLayer = false;
}

void SimDevice::Impl::AcceptLoop() {
  auto backoff = kAcceptBackoffFirst;
  while (!stopping.load()) {
    // Short polls, so Stop never waits on a blocked accept.
    pollfd p{listener, POLLIN, 0};
    const int rc = ::poll(&p, 1, 50);
    ReapFinished();
    if (rc <= 0 || stopping.load()) continue;
    const net::Socket s = ::accept(listener, nullptr, nullptr);
    if (s == net::kInvalidSocket) {
#ifndef _WIN32
      // The connection stays in the backlog, so the next poll would return
      // at once: without a pause the loop spins until a descriptor frees up.
      const int e = errno;
      if (e == EMFILE || e == ENFILE || e == ENOBUFS || e == ENOMEM) {
        std::this_thread::sleep_for(backoff);
        backoff = std::min<std::chrono::milliseconds>(backoff * 2, kAcceptBackoffMax);
      }
#endif
      continue;
    }
    backoff = kAcceptBackoffFirst;
    Admit(s);
  }
}

std::size_t SimDevice::Impl::ConnectionLimit() const {
  if (config.maxConnections > 0) return static_cast<std::size_t>(config.maxConnections);
  std::lock_guard lock(stateMutex);
  return std::max<std::size_t>(state.connectionLimit, 1);
}

void SimDevice::Impl::Admit(net::Socket s) {
  if (stopping.load() || Snapshot().size() >= ConnectionLimit()) {
    net::Close(s);
    return;
  }
  int one = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  const auto sendLimit = std::chrono::milliseconds(config.sendTimeoutMs);
#ifdef _WIN32
  const DWORD sendTimeout = static_cast<DWORD>(config.sendTimeoutMs);
#else
  const timeval sendTimeout{config.sendTimeoutMs / 1000, (config.sendTimeoutMs % 1000) * 1000};
#endif
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout), sizeof sendTimeout);
  std::shared_ptr<Client> client;
  try {
    client = std::make_shared<Client>(s, sendLimit, Clock::now() + std::chrono::milliseconds(config.loginTimeoutMs));
  } catch (const std::bad_alloc&) {
    net::Close(s);
    return;
  }
  std::lock_guard lock(clientsMutex);
  if (stopping.load()) {
    net::Close(s);
    return;
  }
  try {
    clients.push_back(client);
    client->reader = std::thread(&Impl::ServeClient, this, client);
  } catch (...) {
    // Out of threads or memory: this connection is refused, the others and
    // the accept loop carry on.
    if (!clients.empty() && clients.back() == client) clients.pop_back();
    net::Close(s);
  }
}

void SimDevice::Impl::ReapFinished() {
  std::list<std::shared_ptr<Client>> done;
  {
    std::lock_guard lock(clientsMutex);
    for (auto it = clients.begin(); it != clients.end();) {
      if ((*it)->finished.load()) {
        done.push_back(*it);
        it = clients.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const auto& c : done) {
    if (c->reader.joinable()) c->reader.join();
    c->CloseSocket();
  }
  if (done.empty()) return;
  // The replies of a client that has gone would hold room in the queue
  // until they fell due.
  std::lock_guard lock(jobMutex);
  for (auto it = jobs.begin(); it != jobs.end();) {
    const auto c = it->second.client.lock();
    it = (!c || c->finished.load()) ? jobs.erase(it) : std::next(it);
  }
}

void SimDevice::Impl::JobLoop() {
  std::unique_lock lock(jobMutex);
  while (!jobsStop) {
    if (jobs.empty()) {
      jobCv.wait(lock);
      continue;
    }
    const auto due = jobs.begin()->first;
    if (Clock::now() < due) {
      jobCv.wait_until(lock, due);
      continue;
    }
    Job job = jobs.begin()->second;
    jobs.erase(jobs.begin());
    auto c = job.client.lock();
    // Counted down before the send: the client may answer the last stage
    // with the next request at once.
    if (c) --c->pendingReplies;
    lock.unlock();
    if (c && !c->finished.load()) Reply(*c, job.code, job.value);
    lock.lock();
  }
}

void SimDevice::Impl::ServeClient(const std::shared_ptr<Client>& client) {
  std::uint8_t wire[kHeaderSize];
  while (!stopping.load()) {
    if (!client->ReceiveExactly(wire, kHeaderSize)) break;
    if (!HandleRequest(*client, DecodeHeader(wire))) break;
  }
  client->Wake();
  client->finished = true;
}

namespace {

// A text of a received text body. One that fills its field without a NUL is
// read within the field only, and then refused: kept, it could never be sent
// back in a text body.
std::optional<std::string> BodyText(const std::vector<std::uint8_t>& body, std::size_t offset, std::size_t room) {
  if (body.size() < offset + room || std::memchr(&body[offset], 0, room) == nullptr) return std::nullopt;
  return std::string(FieldText(&body[offset], room));
}
std::optional<std::string> FirstText(const std::vector<std::uint8_t>& body) {
  return BodyText(body, kTextBodyFirstOffset, kTextBodyFirstRoom);
}
std::optional<std::string> SecondText(const std::vector<std::uint8_t>& body) {
  return BodyText(body, kTextBodySecondOffset, kTextBodySecondRoom);
}

}  // namespace

const SimDevice::Impl::HandlerEntry* SimDevice::Impl::FindHandler(std::uint8_t code) {
  static const HandlerEntry kHandlers[] = {
      {CMD_LOGIN, &Impl::OnLogin},
      {CMD_GET_INFO, &Impl::OnGetInfo},
      {CMD_SET_ADMIN, &Impl::OnSetAdmin},
      {CMD_GET_VIEWID_LIST, &Impl::OnGetViewIdList},
      // More records than the device holds cannot be kept.
      {CMD_SET_VIEWID_LIST, &Impl::OnSetViewIdList, kViewIdStoreBytes},
      {CMD_GET_WOL_TABLE, &Impl::OnGetWolTable},
      {CMD_SET_WOL_TABLE, &Impl::OnSetWolTable},
      {CMD_GET_NETWORK, &Impl::OnGetNetwork},
      {CMD_SET_NETWORK, &Impl::OnSetNetwork},
      {CMD_CHECK_DDNS_ID, &Impl::OnCheckDdnsId},
      {CMD_REGISTER_MAC, &Impl::OnRegisterMac},
      {CMD_REGISTER_DDNS, &Impl::OnRegisterDdns},
      {CMD_ONLINE_UPDATE, &Impl::OnOnlineUpdate},
      {CMD_FIRMWARE_UPDATE, &Impl::OnFirmwareUpdate},
      {CMD_UPLOAD_WEB, &Impl::OnRawUpload, static_cast<std::uint64_t>(kMaxRawUpload)},
      {CMD_GET_SERVER_TIME, &Impl::OnGetServerTime},
      {CMD_SET_NTP_SERVER, &Impl::OnSetNtpServer},
      {CMD_UPLOAD_FIRMWARE, &Impl::OnRawUpload, static_cast<std::uint64_t>(kMaxRawUpload)},
  };
  for (const HandlerEntry& e : kHandlers)
    if (e.code == code) return &e;
  return nullptr;
}

// Returns false to close the connection. Every body is read into a local
// buffer and taken into the state only once it has arrived whole, so a
// client that goes away mid-body changes nothing.
bool SimDevice::Impl::HandleRequest(Client& client, const FrameHeader& h) {
  if (!client.loggedIn.load() && h.code != CMD_LOGIN) return false;
  const RequestRule* rule = FindRequestRule(h.code);
  const HandlerEntry* entry = rule ? FindHandler(h.code) : nullptr;
  // Not a request: consumed as a bare header, no answer.
  if (!entry) return true;
  const std::uint64_t length = RequestBodyLength(*rule, h.value);
  if (length > entry->maxBody) return false;
  std::vector<std::uint8_t> body;
  if (rule->body != RequestBody::kRaw && !ReadScrambled(client, body, length)) return false;
  return (this->*entry->handle)(client, Request{h, body, length});
}

bool SimDevice::Impl::OnLogin(Client& client, const Request& r) {
  const auto id = FirstText(r.body), password = SecondText(r.body);
  bool accepted;
  {
    std::lock_guard lock(stateMutex);
    accepted = id && password && *id == state.adminId && *password == state.adminPassword;
  }
  client.loggedIn = accepted;
  if (accepted) {
    client.refusedLogins = 0;
    return Reply(client, CMD_LOGIN, 100 + config.viewIdCapacity);
  }
  // Guessing gets slower with every refusal and ends with the connection;
  // a retry on the same connection stays possible until then.
  ++client.refusedLogins;
  client.Pause(std::chrono::milliseconds(config.loginDelayMs) * client.refusedLogins);
  Reply(client, CMD_LOGIN, 0);
  return client.refusedLogins < config.maxLoginFailures;
}

bool SimDevice::Impl::OnGetInfo(Client& client, const Request&) {
  DeviceInfoBlock b;
  {
    std::lock_guard lock(stateMutex);
    b = BuildInfoBlock(state);
  }
  return Reply(client, CMD_GET_INFO, 0, b.bytes.data(), b.bytes.size());
}

bool SimDevice::Impl::OnSetAdmin(Client& client, const Request& r) {
  const auto id = FirstText(r.body), password = SecondText(r.body);
  // An empty ID or password would lock the administrator out.
  const bool ok = id && password && !id->empty() && !password->empty() && Commit([&](DeviceState& s) {
    s.adminId = *id;
    s.adminPassword = *password;
  });
  return Reply(client, CMD_SET_ADMIN, ok ? kOk : kFailed);
}

bool SimDevice::Impl::OnGetViewIdList(Client& client, const Request&) {
  std::int32_t count;
  std::vector<std::uint8_t> table;
  {
    std::lock_guard lock(stateMutex);
    count = state.viewIdCount;
    table.assign(state.viewIdTable.begin(),
                 state.viewIdTable.begin() + static_cast<std::ptrdiff_t>(ViewIdTableLength(count)));
  }
  return Reply(client, CMD_GET_VIEWID_LIST, count, table.data(), table.size());
}

bool SimDevice::Impl::OnSetViewIdList(Client& client, const Request& r) {
  const std::int32_t count = std::max(r.header.value, 0);
  const bool ok = Commit([&](DeviceState& s) {
    s.viewIdCount = count;
    std::copy(r.body.begin(), r.body.end(), s.viewIdTable.begin());
  });
  return Reply(client, CMD_SET_VIEWID_LIST, ok ? kOk : kFailed);
}

bool SimDevice::Impl::OnGetWolTable(Client& client, const Request&) {
  std::int32_t count;
  std::vector<std::uint8_t> table;
  {
    std::lock_guard lock(stateMutex);
    count = state.wolCount;
    table = state.wolTable;
  }
  return Reply(client, CMD_GET_WOL_TABLE, count, table.data(), table.size());
}

bool SimDevice::Impl::OnSetWolTable(Client& client, const Request& r) {
  const std::int32_t count = r.header.value;
  const bool inRange = count >= 0 && count <= static_cast<std::int32_t>(kWolEntries);
  const bool ok = inRange && Commit([&](DeviceState& s) {
    s.wolCount = count;
    s.wolTable = r.body;
  });
  return Reply(client, CMD_SET_WOL_TABLE, ok ? kOk : kFailed);
}

bool SimDevice::Impl::OnGetNetwork(Client& client, const Request&) {
  NetworkSettingsBlock b;
  {
    std::lock_guard lock(stateMutex);
    b = BuildNetworkReply(state);
  }
  return Reply(client, CMD_GET_NETWORK, 0, b.bytes.data(), b.bytes.size());
}

bool SimDevice::Impl::OnSetNetwork(Client&, const Request& r) {
  const NetworkSettingsBlock received = NetworkSettingsBlock::FromBytes(r.body.data());
  Commit([&](DeviceState& s) { TakeNetworkFields(s, received); });
  // The device reboots with the new settings: every session ends, no reply.
  for (const auto& c : Snapshot()) c->Wake();
  return false;
}

bool SimDevice::Impl::OnCheckDdnsId(Client& client, const Request& r) {
  const auto name = FirstText(r.body), mac = SecondText(r.body);
  std::int32_t verdict = kFailed;
  if (name && mac) {
    std::lock_guard lock(stateMutex);
    verdict = CheckDdnsName(state, *name, *mac);
  }
  return Reply(client, CMD_CHECK_DDNS_ID, verdict);
}

bool SimDevice::Impl::OnRegisterMac(Client& client, const Request& r) {
  bool already = false;
  const bool ok = FirstText(r.body) && Commit([&](DeviceState& s) {
    already = s.macRegistered;
    s.macRegistered = true;
    return !already;
  });
  return Reply(client, CMD_REGISTER_MAC, already ? kMacAlreadyRegistered : ok ? kOk : kFailed);
}

bool SimDevice::Impl::OnRegisterDdns(Client& client, const Request& r) {
  const NetworkSettingsBlock form = NetworkSettingsBlock::FromBytes(r.body.data());
  auto fits = [&](std::size_t offset, std::size_t width) {
    return std::memchr(&form.bytes[offset], 0, width) != nullptr;
  };
  const bool readable = fits(NetworkSettingsBlock::kDdnsName, NetworkSettingsBlock::kDdnsNameWidth) &&
                        fits(NetworkSettingsBlock::kCompany, NetworkSettingsBlock::kCompanyWidth) &&
                        fits(NetworkSettingsBlock::kEmail, NetworkSettingsBlock::kEmailWidth);
  if (!readable) return Reply(client, CMD_REGISTER_DDNS, kFailed);
  bool already = false;
  const bool ok = Commit([&](DeviceState& s) {
    already = s.ddnsRegistered;
    if (already) return false;
    s.ddnsRegistered = true;
    s.ddnsName = std::string(form.DdnsName());
    s.company = std::string(form.Company());
    s.email = std::string(form.Email());
    return true;
  });
  return Reply(client, CMD_REGISTER_DDNS, already ? kDdnsAlreadyRegistered : ok ? kOk : kFailed);
}

// A start request while this client's update is still running changes
// nothing and is not answered: the stages on their way answer it. When the
// device has no room for another update it says the update server cannot be
// reached.
bool SimDevice::Impl::OnOnlineUpdate(Client& client, const Request&) {
  const auto step = std::chrono::milliseconds(config.updateStepMs);
  std::vector<std::pair<Clock::duration, std::int32_t>> stages;
  for (int stage = 0; stage <= kLastUpdateStage; ++stage) stages.emplace_back(step * stage, stage);
  if (ScheduleUpdate(Find(client), stages, CMD_ONLINE_UPDATE) == Queued::kFull)
    return Reply(client, CMD_ONLINE_UPDATE, kUpdateServerUnreachable);
  return true;
}

bool SimDevice::Impl::OnFirmwareUpdate(Client& client, const Request&) {
  if (ScheduleUpdate(Find(client), {{std::chrono::milliseconds(config.updateStepMs), 0}}, CMD_FIRMWARE_UPDATE) ==
      Queued::kFull)
    return Reply(client, CMD_FIRMWARE_UPDATE, kUpdateServerUnreachable);
  return true;
}

// Codes 20 and 41: the file's bytes, unscrambled, consumed in slices: only
// the head of an image is ever looked at.
bool SimDevice::Impl::OnRawUpload(Client& client, const Request& r) {
  const std::uint8_t code = r.header.code;
  if (r.header.value < 0) return false;
  std::uint8_t head = 0;
  std::vector<std::uint8_t> slice(64 * 1024);
  std::uint64_t left = r.bodyLength;
  bool firstSlice = true;
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size()));
    if (!client.ReceiveExactly(slice.data(), n)) return false;
    if (firstSlice) head = slice[0];
    firstSlice = false;
    left -= n;
  }
  uploadedBytes += r.bodyLength;
  if (code == CMD_UPLOAD_WEB) return Reply(client, CMD_UPLOAD_WEB, kOk);
  const auto size = static_cast<std::int64_t>(r.bodyLength);
  std::int32_t verdict;
  if (size < kFirmwareMinSize || size > kFirmwareMaxSize) {
    verdict = kFirmwareSizeError;
  } else {
    std::lock_guard lock(stateMutex);
    verdict = FirmwareVerdict(state.platform, head);
  }
  return Reply(client, CMD_UPLOAD_FIRMWARE, verdict);
}

bool SimDevice::Impl::OnGetServerTime(Client& client, const Request&) {
  return Reply(client, CMD_GET_SERVER_TIME, static_cast<std::int32_t>(std::time(nullptr)));
}

bool SimDevice::Impl::OnSetNtpServer(Client& client, const Request& r) {
  const auto server = FirstText(r.body);
  const bool ok = server && Commit([&](DeviceState& s) { s.ntpServer = *server; });
  return Reply(client, CMD_SET_NTP_SERVER, ok ? kOk : kFailed);
}

bool SimDevice::HandlesRequest(std::uint8_t code) { return Impl::FindHandler(code) != nullptr; }

// ---- SimDevice -------------------------------------------------------------

SimDevice::SimDevice(SimConfig config) : m_impl(std::make_unique<Impl>(std::move(config))) {}
SimDevice::~SimDevice() { Stop(); }

bool SimDevice::Start(std::string* error) { return m_impl->Start(error); }
void SimDevice::Stop() { m_impl->Stop(); }
std::uint16_t SimDevice::Port() const { return m_impl->port; }

std::size_t SimDevice::ClientCount() const { return m_impl->Snapshot().size(); }

std::size_t SimDevice::LoggedInCount() const {
  std::size_t n = 0;
  for (const auto& c : m_impl->Snapshot()) n += c->loggedIn.load() ? 1 : 0;
  return n;
}

void SimDevice::SendFrameToAll(std::uint8_t code, std::int32_t value, const std::vector<std::uint8_t>& plainBody,
                               bool scramble) {
  const auto bytes = Frame(code, value, plainBody.data(), plainBody.size(), scramble);
  for (const auto& c : m_impl->Snapshot()) c->Send(bytes, m_impl->drip.load());
}

void SimDevice::SendRawToAll(const std::vector<std::uint8_t>& wireBytes) {
  for (const auto& c : m_impl->Snapshot()) c->Send(wireBytes, m_impl->drip.load());
}

void SimDevice::CloseAllClients() {
  for (const auto& c : m_impl->Snapshot()) c->Wake();
}

void SimDevice::SetDripReplies(bool oneByteAtATime) { m_impl->drip = oneByteAtATime; }
void SimDevice::SetSilent(bool neverAnswer) { m_impl->silent = neverAnswer; }

DeviceState SimDevice::State() const {
  std::lock_guard lock(m_impl->stateMutex);
  return m_impl->state;
}

void SimDevice::SetState(const DeviceState& s) {
  DeviceState copy = s;
  NormaliseTables(copy);
  m_impl->Commit([&](DeviceState& target) { target = copy; });
}

std::uint64_t SimDevice::UploadedBytes() const { return m_impl->uploadedBytes.load(); }

std::size_t SimDevice::QueuedReplies() const {
  std::lock_guard lock(m_impl->jobMutex);
  return m_impl->jobs.size();
}

}  // namespace kolmara::device
