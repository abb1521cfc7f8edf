#include "transcription/SpeechServiceSettingsWindow.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/PreferenceKeys.h"
#include "refinement/APIKeyField.h"
#include "transcription/PcmWav.h"

namespace vellotype {
namespace {

using Field = SettingsView::Field;
using StatusColor = SettingsView::StatusColor;

}  // namespace

SpeechServiceSettingsWindow::SpeechServiceSettingsWindow(
    Preferences& preferences, TranscriptionClient& client,
    std::unique_ptr<SpeechServiceSettingsView> view)
    : preferences_(preferences), client_(client), view_(std::move(view)) {
  const auto settings = SpeechServiceSettings::load(preferences_);
  view_->setPlaceholder(Field::baseURL, std::string(SpeechServiceSettings::kDefaultBaseURL));
  view_->setPlaceholder(Field::apiKey, std::string(kKeyPlaceholder));
  view_->setPlaceholder(Field::model, std::string(SpeechServiceSettings::kDefaultModel));
  // Loaded once, as in the correction service's window: reopening shows what was left there.
  view_->setText(Field::baseURL, settings.baseURL);
  view_->setText(Field::apiKey, settings.apiKey);
  view_->setText(Field::model, settings.model);
  view_->setLanguages(settings.languages);
  view_->setLiveWords(settings.liveWords);
  view_->setStatus("", StatusColor::secondaryLabel);
  view_->center();
  // The view lives no longer than this window, so its callbacks may hold it plainly.
  view_->onTest = [this] { test(); };
  view_->onSave = [this] { save(); };
}

void SpeechServiceSettingsWindow::makeKeyAndOrderFront() { view_->makeKeyAndOrderFront(); }

bool SpeechServiceSettingsWindow::applyFields() {
  preferences_.setString(prefs::kSpeechServiceBaseURL, view_->text(Field::baseURL));
  const bool noted = APIKeyField::store(*view_, preferences_, prefs::kSpeechServiceAPIKey);
  preferences_.setString(prefs::kSpeechServiceModel, view_->text(Field::model));
  preferences_.setString(prefs::kSpeechServiceLanguages,
                         SpeechServiceSettings::nameOf(view_->languages()));
  preferences_.setBool(prefs::kSpeechServiceLiveWords, view_->liveWords());
  if (onChange) onChange();
  return noted;
}

void SpeechServiceSettingsWindow::test() {
  // The word that the key lost a line break stands until the answer replaces it.
  if (!applyFields()) view_->setStatus("Testing...", StatusColor::secondaryLabel);
  // No language: the service tells which one it heard, whatever the menu says.
  client_.transcribe(testSound(), "", "test",
                     [weak = weak_from_this()](const TranscriptionResult& result) {
                       if (auto self = weak.lock()) self->showResult(result);
                     });
}

void SpeechServiceSettingsWindow::showResult(const TranscriptionResult& result) {
  if (const auto* text = std::get_if<std::string>(&result)) {
    view_->setStatus(
        text->empty() ? "OK: the service answered (no words in the test sound)" : "OK: " + *text,
        StatusColor::systemGreen);
  } else {
    view_->setStatus(std::get<TranscriptionError>(result).description, StatusColor::systemRed);
  }
}

void SpeechServiceSettingsWindow::save() {
  applyFields();
  view_->orderOut();
}

std::string SpeechServiceSettingsWindow::testSound() {
  constexpr std::uint32_t kRate = 16000;
  std::vector<std::int16_t> samples(kRate);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = double(i) / kRate;
    // Faded in and out over 50 ms, so it starts and ends without a click.
    const double envelope = std::min({1.0, t / 0.05, (1.0 - t) / 0.05});
    samples[i] =
        std::int16_t(std::lround(3000 * envelope * std::sin(2 * std::numbers::pi * 440 * t)));
  }
  return PcmWav::encode(samples, kRate);
}

}  // namespace vellotype
