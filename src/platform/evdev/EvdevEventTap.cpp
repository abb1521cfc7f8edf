#include "platform/evdev/EvdevEventTap.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/x11/KeyTransitionTracker.h"

namespace vellotype {
namespace {

using Outcome = EvdevKeyboardOpener::Opened::Outcome;

// The tracker speaks X keycodes, as the X11 tap's raw events carry them: the few keys past their
// range (some media keys) are not seen, as on X11.
constexpr unsigned kXKeycodeOffset = 8;
constexpr unsigned kLastXKeycode = 0xFF;

}  // namespace

EvdevEventTap::EvdevEventTap(std::string directory, Opener opener)
    : directory_(std::move(directory)), opener_(std::move(opener)) {}

EvdevEventTap::~EvdevEventTap() { stop(); }

EventTap::StartResult EvdevEventTap::start(const TriggerKey&, Filter filter) {
  stop();
  lastProblem_.clear();
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
  if (stopFd_ >= 0) ::close(stopFd_);
  stopFd_ = -1;
}

void EvdevEventTap::run() {
  std::vector<pollfd> fds;
  std::vector<bool> gone;
  for (;;) {
    fds.assign({{stopFd_, POLLIN, 0}});
    for (const auto& keyboard : keyboards_) fds.push_back({keyboard->fd(), POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    gone.assign(keyboards_.size(), false);
    for (std::size_t i = 0; i < keyboards_.size(); ++i) {
      if (fds[i + 1].revents == 0) continue;
      changes_.clear();
      gone[i] = !keyboards_[i]->read(changes_);
      for (const auto& change : changes_) forward(change);
    }
    for (std::size_t i = keyboards_.size(); i-- > 0;) {
      if (gone[i]) keyboards_.erase(keyboards_.begin() + std::ptrdiff_t(i));
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
  tracker_->handle(KeyTransitionTracker::Source::raw, press, std::uint8_t(keycode), 0);
}

}  // namespace vellotype
