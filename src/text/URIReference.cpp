#include "text/URIReference.h"

#include <cctype>
#include <string_view>

namespace vellotype::text {
namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isUnreserved(char c) {
  return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(char c) {
  return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

// Characters that may stand anywhere outside an IP literal, escapes aside.
bool isPlain(char c) {
  return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/';
}

// Every character is allowed by `allowed`, and every '%' starts an escape of two hex digits.
template <typename Allowed>
bool consistsOf(std::string_view part, Allowed allowed) {
  for (std::size_t i = 0; i < part.size(); ++i) {
    if (part[i] == '%') {
      if (i + 2 >= part.size() || !isHex(part[i + 1]) || !isHex(part[i + 2])) return false;
      i += 2;
    } else if (!allowed(part[i])) {
      return false;
    }
  }
  return true;
}

bool isValidHost(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    const auto literal = host.substr(1, host.size() - 2);
    return consistsOf(literal, [](char c) { return isHex(c) || c == ':' || c == '.'; });
  }
  return consistsOf(host, [](char c) { return isUnreserved(c) || isSubDelim(c); });
}

bool isValidAuthority(std::string_view authority) {
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    if (!consistsOf(authority.substr(0, at),
                    [](char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; })) {
      return false;
    }
    authority.remove_prefix(at + 1);
  }
  // A port follows the last colon outside an IP literal.
  const auto bracket = authority.rfind(']');
  const auto colon = authority.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    for (const char c : authority.substr(colon + 1)) {
      if (!isDigit(c)) return false;
    }
    authority = authority.substr(0, colon);
  }
  return isValidHost(authority);
}

bool isValidPath(std::string_view path) {
  return consistsOf(path, [](char c) { return isPlain(c); });
}

}  // namespace

bool isValidURIReference(std::string_view text) {
  auto rest = text;
  if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
    if (!consistsOf(rest.substr(hash + 1), [](char c) { return isPlain(c) || c == '?'; })) {
      return false;
    }
    rest = rest.substr(0, hash);
  }
  if (const auto question = rest.find('?'); question != std::string_view::npos) {
    if (!consistsOf(rest.substr(question + 1), [](char c) { return isPlain(c) || c == '?'; })) {
      return false;
    }
    rest = rest.substr(0, question);
  }

  // A scheme is letters, digits, "+", "-" and "." after a first letter, ended by ':'.
  const auto colon = rest.find(':');
  const auto slash = rest.find('/');
  if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
    const auto scheme = rest.substr(0, colon);
    if (scheme.empty() || !isAlpha(scheme.front())) return false;
    for (const char c : scheme) {
      if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    rest.remove_prefix(colon + 1);
  }

  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const auto end = rest.find('/');
    if (!isValidAuthority(rest.substr(0, end))) return false;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  return isValidPath(rest);
}

}  // namespace vellotype::text
