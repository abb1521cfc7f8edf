#pragma once
// Why a refinement produced no text. Its description is ready to show to the user.

#include <string>
#include <utility>

namespace vellotype {

class RefinerError {
 public:
  enum class Code { invalidURL, invalidResponse, transport };

  static RefinerError invalidURL() { return {Code::invalidURL, "Invalid API base URL"}; }
  static RefinerError invalidResponse() {
    return {Code::invalidResponse, "Invalid response from LLM API"};
  }
  // A failure of the transfer itself, described by the network layer.
  static RefinerError transport(std::string description) {
    return {Code::transport, std::move(description)};
  }

  Code code() const { return code_; }
  const std::string& localizedDescription() const { return description_; }

  bool operator==(const RefinerError&) const = default;

 private:
  RefinerError(Code code, std::string description)
      : code_(code), description_(std::move(description)) {}

  Code code_;
  std::string description_;
};

}  // namespace vellotype
