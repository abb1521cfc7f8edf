// A small OpenAI-compatible chat-completions service on loopback for the demo and the
// measurements: it answers every request at once with the user's text, corrected the way a
// careful model might (spelled-out numbers become digits), or with --answer TEXT always with TEXT,
// and prints "listening <port>" when it is ready.

#include <httplib.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>

namespace {

std::string corrected(std::string text) {
  static const std::pair<const char*, const char*> kNumbers[] = {
      {"one", "1"}, {"two", "2"},   {"three", "3"}, {"four", "4"}, {"five", "5"},
      {"six", "6"}, {"seven", "7"}, {"eight", "8"}, {"nine", "9"}, {"ten", "10"}};
  for (const auto& [word, digits] : kNumbers) {
    text = std::regex_replace(
        text, std::regex(std::string("\\b") + word + "\\b", std::regex::icase), digits);
  }
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::optional<std::string> answer =
      argc == 3 && std::string(argv[1]) == "--answer" ? std::optional(argv[2]) : std::nullopt;
  httplib::Server server;
  server.Post("/v1/chat/completions", [&](const httplib::Request& request,
                                          httplib::Response& response) {
    const auto body = nlohmann::json::parse(request.body, nullptr, false);
    std::string text;
    if (body.is_object() && body.contains("messages") && body["messages"].size() >= 2) {
      text = body["messages"][1].value("content", "");
    }
    const nlohmann::json reply = {
        {"choices",
         {{{"index", 0},
           {"message", {{"role", "assistant"}, {"content", answer.value_or(corrected(text))}}}}}}};
    response.set_content(reply.dump(), "application/json");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port < 0) {
    std::fprintf(stderr, "could not listen on loopback\n");
    return 1;
  }
  std::printf("listening %d\n", port);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}
