// The parts of a chat-completions exchange that are plain text work: which base URLs parse, and
// which reply encodings read.

#include <gtest/gtest.h>

#include "refinement/JSONText.h"
#include "text/URIReference.h"

namespace vellotype {
namespace {

TEST(URIReference, AcceptsURLsAndRelativeReferencesAndRejectsMalformedOnes) {
  for (const char* valid :
       {"https://api.openai.com/v1/chat/completions", "http://127.0.0.1:8080/chat/completions",
        "http://[::1]:8080/v1", "/chat/completions", "https://host//chat/completions",
        "https://user:pw@host/a%20b?q=1#frag", "localhost:1234/v1/chat/completions"}) {
    EXPECT_TRUE(text::isValidURIReference(valid)) << valid;
  }
  for (const char* invalid :
       {"https://api example.com/v1/chat/completions", "https://host/\xe4\xb8\xad",
        "https://host/a%2", "https://host/a%zz", "http://ho[st/x", "1http://host/x",
        "https://host:80a/x", "https://host/x#a#b", "\thttps://host/x"}) {
    EXPECT_FALSE(text::isValidURIReference(invalid)) << invalid;
  }
}

TEST(JSONText, ReadsEveryEncodingJSONAllows) {
  const std::string utf8 = R"({"a":"\u00e9x"})";
  std::string utf16le, utf16be, utf32le;
  for (const char c : utf8) {
    utf16le += {c, '\0'};
    utf16be += {'\0', c};
    utf32le += {c, '\0', '\0', '\0'};
  }
  for (const auto& bytes : {utf8, utf16le, utf16be, utf32le}) {
    EXPECT_EQ(parseJSONText(bytes).value("a", ""), "\u00e9x");
  }
  EXPECT_TRUE(parseJSONText("not json").is_discarded());
  EXPECT_TRUE(parseJSONText("").is_discarded());
}

}  // namespace
}  // namespace vellotype
