#include "platform/qt/QtSpeechServiceSettingsView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vellotype {
namespace {

constexpr int kNoteFontSize = 11;

// In the order the box lists them.
constexpr std::pair<SpeechServiceSettings::Languages, const char*> kChoices[] = {
    {SpeechServiceSettings::Languages::withoutLocalModel, "Languages without a local model"},
    {SpeechServiceSettings::Languages::all, "All languages"},
    {SpeechServiceSettings::Languages::none, "None"},
};

}  // namespace

QtSpeechServiceSettingsView::QtSpeechServiceSettingsView()
    : QtSettingsView("Speech Service Settings", kContentHeight),
      languages_(new QComboBox(this)),
      liveWords_(new QCheckBox("Show words while speaking", this)) {
  for (const auto& [value, title] : kChoices) languages_->addItem(title, int(value));
  addRow("Languages:", languages_);

  // What live words cost is said where they are switched on: a hosted service bills each send.
  auto* liveWords = new QWidget(this);
  auto* stack = new QVBoxLayout(liveWords);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(2);
  stack->addWidget(liveWords_);
  auto* cost = new QLabel(
      "Sends the audio so far once a second while the key is held, for languages without a "
      "local model. Hosted services bill for every send.",
      liveWords);
  cost->setWordWrap(true);
  cost->setForegroundRole(QPalette::PlaceholderText);
  QFont small = cost->font();
  small.setPixelSize(kNoteFontSize);
  cost->setFont(small);
  stack->addWidget(cost);
  // Level with the switch, not with the middle of its note.
  addRow("Live Words:", liveWords, Qt::AlignTop);
  fitToRows();
}

SpeechServiceSettingsView::Languages QtSpeechServiceSettingsView::languages() const {
  return Languages(languages_->currentData().toInt());
}

void QtSpeechServiceSettingsView::setLanguages(Languages languages) {
  languages_->setCurrentIndex(languages_->findData(int(languages)));
}

}  // namespace vellotype
