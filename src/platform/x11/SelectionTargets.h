#pragma once
// Which of the targets a CLIPBOARD owner offers are worth reading, in what order, and under which
// MIME type each goes back on the clipboard so that other applications read it the same way.
// Pure functions, safe from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellotype {

class SelectionTargets {
 public:
  // One format to read: the first of `targets` the owner converts gives its bytes.
  struct Format {
    std::string mimeType;
    std::vector<std::string> targets;
    bool operator==(const Format&) const = default;
  };

  // The MIME type Qt serves `target` under once it is put back, or nothing when the target
  // cannot come back the same: protocol targets, server resources, other text encodings.
  static std::optional<std::string> mimeType(std::string_view target);

  // The formats worth reading from an owner that offers `targets`, in reading order: plain text
  // first, then other small formats, then images with PNG first, since image encodings are the
  // slow and bulky ones to give up when time runs out.
  static std::vector<Format> readingOrder(const std::vector<std::string>& targets);

  // Whether the MIME type is one encoding of a picture.
  static bool isImage(std::string_view mimeType);

  // The bytes of `target` as they are put back under its MIME type: STRING is Latin-1 and
  // text/plain is served as UTF-8.
  static std::string converted(std::string_view target, std::string bytes);
};

}  // namespace vellotype
