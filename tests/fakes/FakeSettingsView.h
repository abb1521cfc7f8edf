#pragma once
// Settings widgets that keep their fields; the test types into `fields` and clicks through
// onTest and onSave. Records "view: status <text> (<colour>)", "view: center", "view: show" and
// "view: hide".

#include <map>

#include "fakes/CallLog.h"
#include "refinement/SettingsView.h"

namespace vellotype {

class FakeSettingsView : public SettingsView, Recorder {
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

}  // namespace vellotype
