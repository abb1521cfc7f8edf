#pragma once
// Test data and helpers for the clipboard tests, and a failure message that names each format
// and its size instead of dumping megabytes.

#include <QTest>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <future>
#include <ostream>
#include <string>

#include "platform/Pasteboard.h"
#include "platform/x11/X11SelectionReader.h"

namespace vellotype {

inline void PrintTo(const PasteboardContents& contents, std::ostream* out) {
  *out << "{";
  for (const auto& [format, bytes] : contents.items) {
    *out << " " << format << ":" << bytes.size();
    if (bytes.size() <= 40) *out << "\"" << bytes << "\"";
  }
  *out << " }";
}

namespace testing {

// A PNG signature, then bytes of every value, NULs included, that no text conversion would
// leave alone.
inline std::string imageBytes(std::size_t size) {
  std::string bytes = "\x89PNG\r\n\x1A\n";
  for (std::size_t i = bytes.size(); i < size; ++i) bytes += char((i * 2654435761u) >> 13);
  bytes.resize(size);
  return bytes;
}

// The test main sets VELLOTYPE_TEST_NO_X when no X server could be started.
#define VELLOTYPE_SKIP_WITHOUT_X()                      \
  if (qEnvironmentVariableIsSet("VELLOTYPE_TEST_NO_X")) \
  GTEST_SKIP() << "no X server: " << qgetenv("VELLOTYPE_TEST_NO_X").toStdString()

inline std::string display() { return qgetenv("DISPLAY").toStdString(); }

// What another X client reads from the CLIPBOARD. Qt's event loop runs meanwhile, so that this
// process answers for what it owns.
inline PasteboardContents readAsAnotherClient() {
  auto read = std::async(std::launch::async, [] {
    return X11SelectionReader(display()).read(X11SelectionReader::Clock::now() +
                                              std::chrono::seconds(5));
  });
  while (read.wait_for(std::chrono::seconds(0)) != std::future_status::ready) QTest::qWait(10);
  return read.get();
}

}  // namespace testing
}  // namespace vellotype
