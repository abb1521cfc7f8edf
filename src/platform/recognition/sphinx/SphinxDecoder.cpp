#include "platform/recognition/sphinx/SphinxDecoder.h"

#include <pocketsphinx.h>

#include "platform/recognition/sphinx/SphinxInit.h"

namespace vellotype {

SphinxDecoder::Loaded SphinxDecoder::load(const SphinxModelFiles& files,
                                          const SphinxModelCheck& check) {
  if (auto problem = check.problem(files); !problem.empty()) return {nullptr, std::move(problem)};
  auto started = SphinxInit::run(files.acousticModel.string(), files.dictionary.string(),
                                 files.languageModel.string());
  if (started.decoder == nullptr) return {nullptr, std::move(started.error)};
  return {std::unique_ptr<SphinxDecoder>(new SphinxDecoder(started.decoder)), {}};
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
