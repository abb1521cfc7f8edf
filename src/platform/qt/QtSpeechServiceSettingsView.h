#pragma once
// The speech service's settings window on the desktop: the correction service's form with two
// more rows, the languages the service serves and the live-words switch. Main thread only; owned
// by the window's logic.

#include <QCheckBox>
#include <QComboBox>

#include "platform/qt/QtSettingsView.h"
#include "transcription/SpeechServiceSettingsView.h"

namespace vellotype {

class QtSpeechServiceSettingsView : public QtSettingsView, public SpeechServiceSettingsView {
 public:
  QtSpeechServiceSettingsView();

  Languages languages() const override;
  void setLanguages(Languages languages) override;
  bool liveWords() const override { return liveWords_->isChecked(); }
  void setLiveWords(bool on) override { liveWords_->setChecked(on); }

  QComboBox& languagesBox() const { return *languages_; }
  QCheckBox& liveWordsBox() const { return *liveWords_; }

 private:
  QComboBox* languages_;
  QCheckBox* liveWords_;
};

}  // namespace vellotype
