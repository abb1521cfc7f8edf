#include "platform/keyboard/evdev/EvdevEventTap.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/keyboard/KeyTransitionTracker.h"

namespace vellotype {
namespace {

using Outcome = EvdevKeyboardOpener::Opened::Outcome;

// The tracker speaks X keycodes, as the X11 tap's raw events carry them: the few keys past their
// range (some media keys) are not seen, as on X11.
constexpr unsigned kXKeycodeOffset = 8;
constexpr unsigned kLastXKeycode = 0xFF;

}  // namespace

EvdevEventTap::EvdevEventTap(std::string directory, Opener opener,
                             std::function<bool()> sessionIsActive)
    : directory_(std::move(directory)),
      opener_(std::move(opener)),
      sessionIsActive_(std::move(sessionIsActive)) {}

EvdevEventTap::~EvdevEventTap() { stop(); }

EventTap::StartResult EvdevEventTap::start(const TriggerKey&, Filter filter) {
  stop();
  lastProblem_.clear();
  // Watched before the directory is read, so that a keyboard plugged in meanwhile is not missed.
  // Without the watch keyboards are still read, only those plugged in later are not.
  watchFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watchFd_ >= 0 && inotify_add_watch(watchFd_, directory_.c_str(), IN_CREATE | IN_ATTRIB) < 0) {
    ::close(watchFd_);
    watchFd_ = -1;
  }
  const bool denied = openAll();
  if (keyboards_.empty()) {
    lastProblem_ = denied ? "No keyboard under " + directory_ +
                                " can be read. Add your user to the input group (sudo usermod -aG "
                                "input $USER), then log out and back in."
                          : "No keyboard was found under " + directory_ + ".";
    closeAll();
    return StartResult::unavailable;
  }
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd_ < 0) {
    lastProblem_ = std::string("The keyboards cannot be watched: ") + std::strerror(errno) + ".";
    closeAll();
    return StartResult::unavailable;
  }
  tracker_ = std::make_unique<KeyTransitionTracker>(std::vector<std::uint8_t>{}, std::move(filter));
  thread_ = std::thread([this] { run(); });
  return StartResult::started;
}

void EvdevEventTap::stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  closeAll();
}

bool EvdevEventTap::open(const std::string& name) {
  if (!name.starts_with("event")) return false;
  const auto path = directory_ + "/" + name;
  const auto isOpen = [&](const auto& keyboard) { return keyboard->path() == path; };
  if (std::ranges::any_of(keyboards_, isOpen)) return false;
  const auto opened = opener_(path);
  if (opened.outcome == Outcome::keyboard) {
    keyboards_.push_back(std::make_unique<EvdevKeyboard>(path, opened.fd));
  }
  return opened.outcome == Outcome::denied;
}

bool EvdevEventTap::openAll() {
  bool denied = false;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(directory_, error), end; !error && entry != end;
       entry.increment(error)) {
    denied = open(entry->path().filename().string()) || denied;
  }
  return denied;
}

void EvdevEventTap::closeAll() {
  keyboards_.clear();
  tracker_.reset();
  for (int* fd : {&stopFd_, &watchFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void EvdevEventTap::run() {
  std::vector<pollfd> fds;
  std::vector<bool> gone;
  for (;;) {
    fds.assign({{stopFd_, POLLIN, 0}, {watchFd_, POLLIN, 0}});
    for (const auto& keyboard : keyboards_) fds.push_back({keyboard->fd(), POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    // Keyboards before the watch: an unplugged keyboard's node name can come back at once.
    gone.assign(keyboards_.size(), false);
    for (std::size_t i = 0; i < keyboards_.size(); ++i) {
      if (fds[i + 2].revents == 0) continue;
      changes_.clear();
      gone[i] = !keyboards_[i]->read(changes_);
      for (const auto& change : changes_) forward(change);
    }
    for (std::size_t i = keyboards_.size(); i-- > 0;) {
      if (gone[i]) keyboards_.erase(keyboards_.begin() + std::ptrdiff_t(i));
    }
    if (fds[1].revents != 0) readWatch();
  }
}

void EvdevEventTap::readWatch() {
  alignas(inotify_event) char buffer[4096];
  const auto got = read(watchFd_, buffer, sizeof buffer);
  for (std::size_t at = 0; got > 0 && at < std::size_t(got);) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    at += sizeof(inotify_event) + event->len;
    if (event->mask & IN_Q_OVERFLOW) {
      openAll();  // events were lost
    } else if (event->len > 0) {
      // A node appears before udev lets the input group read it: the change of its permissions
      // brings it here again.
      open(event->name);
    }
  }
}

void EvdevEventTap::forward(const EvdevKeyboard::Change& change) {
  const unsigned keycode = change.code + kXKeycodeOffset;
  if (keycode > kLastXKeycode) return;
  const bool press = change.kind != EvdevKeyboard::Change::Kind::release;
  // A key held on two keyboards is down until both have let go of it.
  const auto holds = [&](const auto& keyboard) { return keyboard->holds(change.code); };
  if (!press && std::ranges::any_of(keyboards_, holds)) return;
  // A release always goes on: it ends whatever its press began while the session was in front.
  if (press && !sessionIsActive_()) return;
  tracker_->handle(KeyTransitionTracker::Source::raw, press, std::uint8_t(keycode), 0);
}

}  // namespace vellotype
