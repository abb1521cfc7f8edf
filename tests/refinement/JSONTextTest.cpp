// Reading one string out of a reply: the path, the encodings, and the depth beyond which a
// document is not read.

#include <gtest/gtest.h>

#include "refinement/JSONText.h"

namespace vellotype {
namespace {

std::optional<std::string> content(std::string_view reply) {
  return readJSONString(reply, {"choices", std::size_t{0}, "message", "content"});
}

// `reply` in UTF-16 or UTF-32, either byte order; it holds ASCII only.
std::string encoded(std::string_view reply, int width, bool bigEndian) {
  std::string bytes;
  for (const char c : reply) {
    std::string unit(width, '\0');
    unit[bigEndian ? width - 1 : 0] = c;
    bytes += unit;
  }
  return bytes;
}

TEST(JSONTextPath, LeadsToTheStringAsTheWholeDocumentWouldHoldIt) {
  const char* const ok = R"({"id":1,"choices":[{"index":0,"message":{"role":"assistant",)"
                         R"("content":"\u4e2d ok","refusal":null}},{"message":{}}],"u":[[{}]]})";
  EXPECT_EQ(content(ok), "\u4e2d ok");
  for (const int width : {2, 4}) {
    for (const bool bigEndian : {false, true}) {
      EXPECT_EQ(content(encoded(ok, width, bigEndian)), "\u4e2d ok") << width << bigEndian;
    }
  }
  EXPECT_EQ(readJSONString(R"({"text":"a","text":"b"})", {"text"}), "b");
  for (const char* unread : {
           R"({"choices":[{"message":{"content":"a"}}],"choices":[]})",  // the last one counts
           R"({"choices":[{"message":{"content":"a"}},"b"]})",           // not all objects
           R"({"choices":[{"message":{"content":null}}]})",
           R"({"choices":[{"message":{"content":["a"]}}]})",
           R"({"choices":{"0":{"message":{"content":"a"}}}})",
           R"([{"choices":[{"message":{"content":"a"}}]}])",
           R"({"choices":[{"message":{"content":"a"}}]} x)",
           R"({"choices":[{"message":{"content":"a"}}])",
           "",
       }) {
    EXPECT_EQ(content(unread), std::nullopt) << unread;
  }
}

TEST(JSONTextDepth, ADocumentNestedBeyondTheLimitIsNotRead) {
  // The text, then a member as deep as allowed or one level deeper.
  const auto reply = [](std::size_t depth) {
    const auto nested = depth - 1;  // below the document itself
    return R"({"text":"ok","x":)" + std::string(nested, '[') + std::string(nested, ']') + "}";
  };
  EXPECT_EQ(readJSONString(reply(kMaxJSONDepth), {"text"}), "ok");
  EXPECT_EQ(readJSONString(reply(kMaxJSONDepth + 1), {"text"}), std::nullopt);
  EXPECT_EQ(readJSONString(std::string(8 << 20, '['), {"text"}), std::nullopt);
}

}  // namespace
}  // namespace vellotype
