#include "platform/x11/SelectionTargets.h"

#include <algorithm>
#include <array>

namespace vellotype {
namespace {

constexpr std::string_view kPlainText = "text/plain";

// Best first: UTF-8 by definition, then the MIME names GTK and Qt offer, then Latin-1. TEXT and
// COMPOUND_TEXT are left to the owner's choice of encoding, which could be one we cannot read.
constexpr std::array<std::string_view, 5> kPlainTextTargets = {
    "UTF8_STRING", "text/plain;charset=utf-8", "text/plain;charset=UTF-8", "text/plain", "STRING"};

}  // namespace

bool SelectionTargets::isImage(std::string_view mimeType) {
  // Qt offers its own image format, PNG inside, beside the image/ ones.
  return mimeType.starts_with("image/") || mimeType == "application/x-qt-image";
}

std::optional<std::string> SelectionTargets::mimeType(std::string_view target) {
  if (std::find(kPlainTextTargets.begin(), kPlainTextTargets.end(), target) !=
      kPlainTextTargets.end()) {
    return std::string(kPlainText);
  }
  // Qt makes text/x-moz-url out of text/uri-list and refuses it on its own; other text/plain
  // charsets would be served as if they were UTF-8.
  if (target == "text/x-moz-url" || target.starts_with("text/plain;")) return std::nullopt;
  // ICCCM's own targets have no slash: requests with side effects (DELETE, INSERT_SELECTION),
  // facts about the owner (TIMESTAMP, HOST_NAME), server resources that die with it (PIXMAP).
  if (target.find('/') == std::string_view::npos) return std::nullopt;
  return std::string(target);
}

std::vector<SelectionTargets::Format> SelectionTargets::readingOrder(
    const std::vector<std::string>& targets) {
  std::vector<Format> order;
  Format plainText{std::string(kPlainText), {}};
  for (const auto candidate : kPlainTextTargets) {
    if (std::find(targets.begin(), targets.end(), candidate) != targets.end()) {
      plainText.targets.emplace_back(candidate);
    }
  }
  if (!plainText.targets.empty()) order.push_back(std::move(plainText));

  std::vector<Format> images;
  for (const auto& target : targets) {
    const auto type = mimeType(target);
    if (!type || *type == kPlainText) continue;
    auto& list = isImage(*type) ? images : order;
    const bool seen = std::any_of(list.begin(), list.end(),
                                  [&](const Format& format) { return format.mimeType == *type; });
    if (!seen) list.push_back({*type, {target}});
  }
  std::stable_partition(images.begin(), images.end(),
                        [](const Format& format) { return format.mimeType == "image/png"; });
  order.insert(order.end(), images.begin(), images.end());
  return order;
}

std::string SelectionTargets::converted(std::string_view target, std::string bytes) {
  if (target != "STRING") return bytes;
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const unsigned char c : bytes) {
    if (c < 0x80) {
      utf8 += char(c);
    } else {
      utf8 += char(0xC0 | (c >> 6));
      utf8 += char(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

}  // namespace vellotype
