#include "transcription/KeptRecordings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

#include "files/PrivateFiles.h"

namespace vellotype {

namespace fs = std::filesystem;

namespace {

// "20261207-004229-123": with a sequence number after it, names sort as the files were made.
std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const auto length = std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
  std::snprintf(text + length, sizeof text - length, "-%03lld", (long long)milliseconds);
  return text;
}

// The locale is part of a file name, so it must not be able to name another folder.
std::string safeLocale(std::string_view locale) {
  const bool plain = !locale.empty() && std::all_of(locale.begin(), locale.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  });
  return plain ? std::string(locale) : "und";
}

std::vector<fs::path> recordingsIn(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const auto name = entry.path().filename().string();
    if (entry.is_regular_file(error) && name.ends_with(".wav") && name.find('_') != name.npos) {
      found.push_back(entry.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

KeptRecordings::KeptRecordings(fs::path folder) : folder_(std::move(folder)) {}

fs::path KeptRecordings::defaultFolder() {
  return files::userStateHome() / "Vellotype" / "recordings";
}

std::optional<fs::path> KeptRecordings::keep(std::string_view wav, std::string_view locale) {
  files::makePrivateFolders(folder_);
  auto written = write(wav, locale);
  if (written) removeOldest();
  return written;
}

std::optional<fs::path> KeptRecordings::write(std::string_view wav, std::string_view locale) {
  const auto stamp = timestamp();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char sequence[8];
    std::snprintf(sequence, sizeof sequence, "-%04u", sequence_++ % 10000);
    const auto name = stamp + sequence + "_" + safeLocale(locale) + ".wav";
    const auto path = folder_ / name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return std::nullopt;
    std::size_t done = 0;
    while (done < wav.size()) {
      const auto count = ::write(fd, wav.data() + done, wav.size() - done);
      if (count <= 0) break;
      done += std::size_t(count);
    }
    ::close(fd);
    if (done == wav.size()) return path;
    ::unlink(path.c_str());
    return std::nullopt;
  }
  return std::nullopt;
}

void KeptRecordings::removeOldest() const {
  const auto all = recordingsIn(folder_);
  std::error_code ignored;
  for (std::size_t i = 0; i + kLimit < all.size(); ++i) fs::remove(all[i], ignored);
}

std::optional<KeptRecordings::Recording> KeptRecordings::newest() const {
  const auto all = recordingsIn(folder_);
  if (all.empty()) return std::nullopt;
  const auto name = all.back().stem().string();
  return Recording{all.back(), name.substr(name.find('_') + 1)};
}

std::optional<std::string> KeptRecordings::read(const Recording& recording) const {
  std::error_code error;
  const auto size = fs::file_size(recording.path, error);
  if (error || size > kMaxFileBytes) return std::nullopt;
  std::ifstream in(recording.path, std::ios::binary);
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), std::streamsize(size))) return std::nullopt;
  return bytes;
}

void KeptRecordings::remove(const Recording& recording) const {
  std::error_code ignored;
  fs::remove(recording.path, ignored);
}

}  // namespace vellotype
