#include "platform/qt/QtSpeechServiceSettingsView.h"

namespace vellotype {
namespace {

// In the order the box lists them.
constexpr std::pair<SpeechServiceSettings::Languages, const char*> kChoices[] = {
    {SpeechServiceSettings::Languages::withoutLocalModel, "Languages without a local model"},
    {SpeechServiceSettings::Languages::all, "All languages"},
    {SpeechServiceSettings::Languages::none, "None"},
};

}  // namespace

QtSpeechServiceSettingsView::QtSpeechServiceSettingsView()
    : QtSettingsView("Speech Service Settings", kContentHeight + 2 * kRowHeight),
      languages_(new QComboBox(this)),
      liveWords_(
          new QCheckBox("Show words while the key is held (sends audio every second)", this)) {
  for (const auto& [value, title] : kChoices) languages_->addItem(title, int(value));
  addRow("Languages:", languages_);
  addRow("Live Words:", liveWords_);
}

SpeechServiceSettingsView::Languages QtSpeechServiceSettingsView::languages() const {
  return Languages(languages_->currentData().toInt());
}

void QtSpeechServiceSettingsView::setLanguages(Languages languages) {
  languages_->setCurrentIndex(languages_->findData(int(languages)));
}

}  // namespace vellotype
