#include "platform/recognition/sphinx/SphinxInit.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string_view>

namespace vellotype {

namespace {

// What the library reports while a model loads on this thread.
struct LoadReport {
  std::jmp_buf* escape = nullptr;
  std::string lastError;
};

thread_local LoadReport* currentLoad = nullptr;

// "ERROR: \"dict.c\", line 275: Failed to open …\n" → "Failed to open …"
std::string withoutSourceLocation(std::string_view message) {
  if (const auto line = message.find("\", line "); line != std::string_view::npos) {
    if (const auto text = message.find(": ", line); text != std::string_view::npos) {
      message.remove_prefix(text + 2);
    }
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.remove_suffix(1);
  }
  return std::string(message);
}

// The library's log is one global stream: "-logfn" reopens it and closes the old one on every
// load, under any other decoder that is writing to it. A callback that drops everything, and a
// disabled stream for the few places that print to it directly, need no file at all.
void onLibraryMessage(void*, err_lvl_t level, const char* format, ...) {
  LoadReport* load = currentLoad;
  if (load == nullptr || level < ERR_ERROR) return;
  char message[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  load->lastError = withoutSourceLocation(message);
  // E_FATAL calls exit() once this returns: an empty mdef or transition_matrices would end the
  // whole program. The frames in between are the library's C code.
  if (level == ERR_FATAL) std::longjmp(*load->escape, 1);
}

void silenceLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    err_set_logfp(nullptr);
    err_set_callback(onLibraryMessage, nullptr);
  });
}

// Apart from run() so that no object with a destructor lives in the frame setjmp returns to.
ps_decoder_t* initUnlessFatal(const char* acousticModel, const char* dictionary,
                              const char* languageModel, std::jmp_buf& escape) {
  // What the library allocated before giving up is lost; that beats losing the process.
  if (setjmp(escape) != 0) return nullptr;
  // The second, flat pass the library runs over the whole utterance once the audio ends cost
  // some 60 ms between the key's release and the text. Without it, and with the first pass's
  // beams widened and its language weight raised to what the flat pass used, the text comes
  // 40 ms sooner and the word error rate on both of our test sets stays within a point of the
  // two-pass search's (see the README's figures).
  cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acousticModel, "-dict",
                                 dictionary, "-fwdflat", "no", "-lw", "8.5", "-beam", "1e-70",
                                 "-wbeam", "1e-45", "-pbeam", "1e-70", nullptr);
  if (config == nullptr) return nullptr;
  if (languageModel != nullptr) cmd_ln_set_str_r(config, "-lm", languageModel);
  ps_decoder_t* decoder = ps_init(config);
  cmd_ln_free_r(config);  // the decoder holds a reference of its own
  return decoder;
}

}  // namespace

SphinxInit::Result SphinxInit::run(const std::string& acousticModel, const std::string& dictionary,
                                   const std::string& languageModel) {
  silenceLibrary();
  std::jmp_buf escape;
  LoadReport report{&escape, {}};
  currentLoad = &report;
  ps_decoder_t* decoder =
      initUnlessFatal(acousticModel.c_str(), dictionary.c_str(),
                      languageModel.empty() ? nullptr : languageModel.c_str(), escape);
  currentLoad = nullptr;
  if (decoder == nullptr && report.lastError.empty()) report.lastError = "PocketSphinx rejected it";
  return {decoder, std::move(report.lastError)};
}

}  // namespace vellotype
