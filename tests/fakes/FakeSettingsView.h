#pragma once
// Settings widgets that keep their fields (and, for the speech service's window, its two
// choices); the test types into `fields` and clicks through onTest and onSave. Records "view:
// status <text> (<colour>)", "view: center", "view: show" and "view: hide".

#include <map>

#include "fakes/CallLog.h"
#include "refinement/SettingsView.h"
#include "transcription/SpeechServiceSettingsView.h"

namespace vellotype {

class FakeSettingsView : public virtual SettingsView, Recorder {
 public:
  using Recorder::Recorder;

  std::string text(Field field) const override { return fields.at(field); }
  void setText(Field field, const std::string& text) override { fields[field] = text; }
  void setPlaceholder(Field field, const std::string& text) override { placeholders[field] = text; }
  void setStatus(const std::string& text, StatusColor color) override {
    static const char* const kNames[] = {"secondary", "red", "green"};  // in StatusColor's order
    log_.record("view: status " + text + " (" + kNames[int(color)] + ")");
  }
  void center() override { log_.record("view: center"); }
  void makeKeyAndOrderFront() override { log_.record("view: show"); }
  void orderOut() override { log_.record("view: hide"); }

  std::map<Field, std::string> fields;
  std::map<Field, std::string> placeholders;
};

class FakeSpeechServiceSettingsView : public FakeSettingsView, public SpeechServiceSettingsView {
 public:
  using FakeSettingsView::FakeSettingsView;

  Languages languages() const override { return chosenLanguages; }
  void setLanguages(Languages value) override { chosenLanguages = value; }
  bool liveWords() const override { return liveWordsOn; }
  void setLiveWords(bool on) override { liveWordsOn = on; }

  Languages chosenLanguages = Languages::none;
  bool liveWordsOn = true;
};

}  // namespace vellotype
