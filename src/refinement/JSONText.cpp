#include "refinement/JSONText.h"

#include <unicode/ucnv.h>

#include <nlohmann/json.hpp>
#include <span>
#include <utility>
#include <vector>

namespace vellotype {
namespace {

// A JSON text starts with two ASCII characters, so the pattern of zero bytes in the first four
// bytes names the encoding.
const char* encodingOf(std::string_view bytes) {
  if (bytes.size() < 4) return nullptr;
  const bool z0 = bytes[0] == 0, z1 = bytes[1] == 0, z2 = bytes[2] == 0, z3 = bytes[3] == 0;
  if (z0 && z1 && z2 && !z3) return "UTF-32BE";
  if (!z0 && z1 && z2 && z3) return "UTF-32LE";
  if (z0 && !z1 && z2 && !z3) return "UTF-16BE";
  if (!z0 && z1 && !z2 && z3) return "UTF-16LE";
  return nullptr;
}

enum class Kind { object, array, string, other };

// Follows the parser's events and keeps only the containers on the path and the string it leads
// to; it stops the parser at the first container beyond the depth limit.
class PathReader final : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit PathReader(std::span<const JSONStep> path) : path_(path) {}

  std::optional<std::string> result() && { return std::move(found_); }

  bool null() override { return value(Kind::other); }
  bool boolean(bool) override { return value(Kind::other); }
  bool number_integer(number_integer_t) override { return value(Kind::other); }
  bool number_unsigned(number_unsigned_t) override { return value(Kind::other); }
  bool number_float(number_float_t, const string_t&) override { return value(Kind::other); }
  bool string(string_t& text) override { return value(Kind::string, &text); }
  bool binary(binary_t&) override { return value(Kind::other); }
  bool start_object(std::size_t) override { return open(Kind::object); }
  bool key(string_t& name) override {
    if (frames_.size() == depth_ && depth_ > 0) {
      const auto* wanted = std::get_if<std::string_view>(&path_[depth_ - 1]);
      frames_.back().nextWanted = wanted && *wanted == name;
    }
    return true;
  }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(Kind::array); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // An open container the path goes through.
  struct Frame {
    std::size_t nextIndex = 0;
    bool nextWanted = false;
    bool mixed = false;  // an array with an element of another kind than the path takes
    std::optional<std::string> found;
  };

  // What the path takes after `steps` steps.
  Kind kindAt(std::size_t steps) const {
    if (steps == path_.size()) return Kind::string;
    return std::holds_alternative<std::string_view>(path_[steps]) ? Kind::object : Kind::array;
  }

  // Whether the value that starts now is the one the path takes next.
  bool wanted(Kind kind) {
    if (frames_.size() != depth_) return false;
    if (frames_.empty()) return true;
    auto& parent = frames_.back();
    const auto* index = std::get_if<std::size_t>(&path_[frames_.size() - 1]);
    if (!index) return std::exchange(parent.nextWanted, false);
    if (kind != kindAt(frames_.size())) parent.mixed = true;
    return parent.nextIndex++ == *index;
  }

  // Where the value the path reaches through the innermost frame goes.
  std::optional<std::string>& slot() { return frames_.empty() ? found_ : frames_.back().found; }

  bool value(Kind kind, std::string* text = nullptr) {
    if (!wanted(kind)) return true;
    const bool target = frames_.size() == path_.size() && kind == Kind::string;
    if (target) {
      slot() = std::move(*text);
    } else {
      slot().reset();
    }
    return true;
  }

  bool open(Kind kind) {
    const bool onPath = wanted(kind);
    if (++depth_ > kMaxJSONDepth) return false;
    if (!onPath) return true;
    if (frames_.size() < path_.size() && kind == kindAt(frames_.size())) {
      frames_.emplace_back();
    } else {
      slot() = std::nullopt;
    }
    return true;
  }

  bool close() {
    if (frames_.size() == depth_) {
      auto frame = std::move(frames_.back());
      frames_.pop_back();
      slot() = frame.mixed ? std::nullopt : std::move(frame.found);
    }
    --depth_;
    return true;
  }

  std::span<const JSONStep> path_;
  std::size_t depth_ = 0;
  std::vector<Frame> frames_;  // outermost first; all open containers while on the path
  std::optional<std::string> found_;
};

}  // namespace

std::optional<std::string> readJSONString(std::string_view bytes,
                                          std::initializer_list<JSONStep> path) {
  std::string utf8;
  if (const char* encoding = encodingOf(bytes)) {
    UErrorCode status = U_ZERO_ERROR;
    utf8.resize(bytes.size() * 2 + 4);
    const auto length = ucnv_convert("UTF-8", encoding, utf8.data(), int32_t(utf8.size()),
                                     bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    utf8.resize(std::size_t(length));
    bytes = utf8;
  }
  PathReader reader({path.begin(), path.size()});
  if (!nlohmann::json::sax_parse(bytes.begin(), bytes.end(), &reader)) return std::nullopt;
  return std::move(reader).result();
}

}  // namespace vellotype
