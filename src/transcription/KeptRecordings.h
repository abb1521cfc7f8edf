#pragma once
// Recordings the transcription service failed on, kept as WAV files so that the words can be
// had later: a folder only the user may enter, files only the user may read, the newest kLimit
// kept. Plain file-system calls on the main thread; made by the composition root and kept.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vellotype {

class KeptRecordings {
 public:
  static constexpr std::size_t kLimit = 20;
  // Far beyond any dictation; a larger file in the folder is not one of ours.
  static constexpr std::uintmax_t kMaxFileBytes = 64 << 20;

  struct Recording {
    std::filesystem::path path;
    std::string localeIdentifier;  // the language it was spoken in
  };

  explicit KeptRecordings(std::filesystem::path folder);
  // recordings/ in Vellotype's folder of the user's state directory.
  static std::filesystem::path defaultFolder();

  // Writes a new file and removes the oldest beyond kLimit; nothing when it could not be written.
  std::optional<std::filesystem::path> keep(std::string_view wav,
                                            std::string_view localeIdentifier);
  std::optional<Recording> newest() const;
  // The file's bytes; nothing when it is gone, unreadable or too large.
  std::optional<std::string> read(const Recording& recording) const;
  void remove(const Recording& recording) const;

  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::optional<std::filesystem::path> write(std::string_view wav, std::string_view locale);
  void removeOldest() const;

  std::filesystem::path folder_;
  // Orders the files made within one millisecond, whatever their language.
  unsigned sequence_ = 0;
};

}  // namespace vellotype
