// What reading an 8 MiB reply costs: time and the rise in peak resident memory, for the reader
// the program uses and for parsing the whole document (how replies were read before), on a
// hostile reply of nested brackets and on two of an ordinary shape. Each reading runs in a
// process of its own, so that each peak is its own. Usage: vellotype_json_reply_bench

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "refinement/JSONText.h"

namespace vellotype {
namespace {

constexpr std::size_t kReplyBytes = 8 << 20;

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string nestedBrackets() { return std::string(kReplyBytes, '['); }

std::string longContent() {
  return R"({"choices":[{"message":{"content":")" + std::string(kReplyBytes, 'a') + R"("}}]})";
}

std::string manyChoices() {
  std::string reply = R"({"choices":[{"message":{"content":"ok"}})";
  while (reply.size() < kReplyBytes) reply += ",{}";
  return reply + "]}";
}

std::optional<std::string> readWhole(const std::string& reply) {
  const auto document = nlohmann::json::parse(reply, nullptr, /*allow_exceptions=*/false);
  const auto* content = document.is_object() && document.contains("choices") &&
                                document["choices"].is_array() && !document["choices"].empty()
                            ? &document["choices"][0]["message"]["content"]
                            : nullptr;
  return content && content->is_string() ? std::optional(content->get<std::string>())
                                         : std::nullopt;
}

std::optional<std::string> readPath(const std::string& reply) {
  return readJSONString(reply, {"choices", std::size_t{0}, "message", "content"});
}

void measure(const char* replyName, std::string (*make)(), const char* readerName,
             std::optional<std::string> (*read)(const std::string&)) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    const auto reply = make();
    const long before = peakKiB();
    const auto start = std::chrono::steady_clock::now();
    const auto content = read(reply);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("  %-16s %-22s %9.1f ms  peak +%7.1f MiB  %s\n", replyName, readerName,
                took.count(), double(peakKiB() - before) / 1024, content ? "read" : "not read");
    std::fflush(stdout);
    _exit(0);
  }
  waitpid(child, nullptr, 0);
}

}  // namespace
}  // namespace vellotype

int main() {
  using namespace vellotype;
  std::printf("Reading an 8 MiB reply (the reply itself is built before the peak is taken):\n");
  const struct {
    const char* name;
    std::string (*make)();
  } replies[] = {{"nested brackets", nestedBrackets},
                 {"long content", longContent},
                 {"many choices", manyChoices}};
  for (const auto& reply : replies) {
    measure(reply.name, reply.make, "whole document (before)", readWhole);
    measure(reply.name, reply.make, "path reader", readPath);
  }
}
