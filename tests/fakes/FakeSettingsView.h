#pragma once
// Settings widgets that keep what they were told; the test types into `fields` and clicks
// through onTest and onSave. Records "view: status <text> (<colour>)", "view: center",
// "view: show" and "view: hide".

#include <map>
#include <string>

#include "fakes/CallLog.h"
#include "refinement/SettingsView.h"

namespace vellotype {

class FakeSettingsView : public SettingsView {
 public:
  explicit FakeSettingsView(CallLog& log) : log_(log) {}

  std::string text(Field field) const override { return fields.at(field); }
  void setText(Field field, const std::string& text) override { fields[field] = text; }
  void setPlaceholder(Field field, const std::string& text) override { placeholders[field] = text; }
  void setStatus(const std::string& text, StatusColor color) override {
    status = text;
    statusColor = color;
    log_.record("view: status " + text + " (" + name(color) + ")");
  }
  void center() override { log_.record("view: center"); }
  void makeKeyAndOrderFront() override {
    onScreen = true;
    log_.record("view: show");
  }
  void orderOut() override {
    onScreen = false;
    log_.record("view: hide");
  }

  std::map<Field, std::string> fields;
  std::map<Field, std::string> placeholders;
  std::string status = "(never set)";
  StatusColor statusColor = StatusColor::secondaryLabel;
  bool onScreen = false;

 private:
  static std::string name(StatusColor color) {
    switch (color) {
      case StatusColor::secondaryLabel:
        return "secondary";
      case StatusColor::systemRed:
        return "red";
      case StatusColor::systemGreen:
        return "green";
    }
    return "";
  }

  CallLog& log_;
};

}  // namespace vellotype
