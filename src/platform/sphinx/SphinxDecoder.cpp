#include "platform/sphinx/SphinxDecoder.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <mutex>

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

// Apart from load() so that no object with a destructor lives in the frame setjmp returns to.
ps_decoder_t* initUnlessFatal(const char* acousticModel, const char* languageModel,
                              const char* dictionary, std::jmp_buf& escape) {
  // What the library allocated before giving up is lost; that beats losing the process.
  if (setjmp(escape) != 0) return nullptr;
  cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acousticModel, "-lm",
                                 languageModel, "-dict", dictionary, nullptr);
  if (config == nullptr) return nullptr;
  ps_decoder_t* decoder = ps_init(config);
  cmd_ln_free_r(config);  // the decoder holds a reference of its own
  return decoder;
}

}  // namespace

SphinxDecoder::Loaded SphinxDecoder::load(const SphinxModelFiles& files) {
  silenceLibrary();
  const auto acousticModel = files.acousticModel.string();
  const auto languageModel = files.languageModel.string();
  const auto dictionary = files.dictionary.string();
  std::jmp_buf escape;
  LoadReport report{&escape, {}};
  currentLoad = &report;
  ps_decoder_t* decoder =
      initUnlessFatal(acousticModel.c_str(), languageModel.c_str(), dictionary.c_str(), escape);
  currentLoad = nullptr;
  if (decoder == nullptr) {
    return {nullptr, report.lastError.empty() ? "PocketSphinx rejected it" : report.lastError};
  }
  return {std::unique_ptr<SphinxDecoder>(new SphinxDecoder(decoder)), {}};
}

SphinxDecoder::~SphinxDecoder() { ps_free(decoder_); }

bool SphinxDecoder::startUtterance() { return ps_start_utt(decoder_) == 0; }

void SphinxDecoder::process(std::span<const std::int16_t> samples) {
  if (!samples.empty()) ps_process_raw(decoder_, samples.data(), samples.size(), FALSE, FALSE);
}

std::string SphinxDecoder::hypothesis() {
  int32 score = 0;
  const char* hypothesis = ps_get_hyp(decoder_, &score);
  return hypothesis ? hypothesis : "";
}

void SphinxDecoder::endUtterance() { ps_end_utt(decoder_); }

}  // namespace vellotype
