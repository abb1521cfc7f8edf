// An OpenAI-compatible transcription service on loopback for the acceptance test, the demo and
// the measurements: English is decoded with the program's own recogniser, Chinese and Japanese
// get a fixed sentence (the Chinese one in Traditional characters, which the program must turn
// into Simplified for zh-CN). Prints "listening <port>" when ready, then "decoded <ms>" after
// each English request.

#include <cstdio>
#include <thread>

#include "LoopbackTranscriptionService.h"

int main() {
  vellotype::testing::LoopbackTranscriptionService service({
      {"zh", "\u6211\u5011\u9700\u8981\u66f4\u591a\u6642\u9593\u3002"},
      {"ja", "\u4eca\u65e5\u306f\u3044\u3044\u5929\u6c17\u3067\u3059\u3002"},
  });
  service.onDecoded = [](std::chrono::milliseconds took) {
    std::printf("decoded %lld\n", static_cast<long long>(took.count()));
    std::fflush(stdout);
  };
  const auto url = service.baseURL();
  std::printf("listening %s\n",
              url.substr(url.rfind(':') + 1, url.rfind('/') - url.rfind(':') - 1).c_str());
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
