#include "refinement/SettingsWindow.h"

#include "platform/PreferenceKeys.h"
#include "refinement/APIKeyField.h"
#include "refinement/LLMRefiner.h"

namespace vellotype {
namespace {

using Field = SettingsView::Field;
using StatusColor = SettingsView::StatusColor;

}  // namespace

SettingsWindow::SettingsWindow(Preferences& preferences, RefinerInterface& refiner,
                               std::unique_ptr<SettingsView> view)
    : preferences_(preferences), refiner_(refiner), view_(std::move(view)) {
  const std::string defaultBaseURL(LLMRefiner::kDefaultBaseURL);
  const std::string defaultModel(LLMRefiner::kDefaultModel);
  view_->setPlaceholder(Field::baseURL, defaultBaseURL);
  view_->setPlaceholder(Field::apiKey, std::string(kKeyPlaceholder));
  view_->setPlaceholder(Field::model, defaultModel);
  // Loaded once: reopening the window shows what the user left in it, saved or not.
  view_->setText(Field::baseURL,
                 preferences_.stringValue(prefs::kLLMAPIBaseURL).value_or(defaultBaseURL));
  view_->setText(Field::apiKey, preferences_.stringValue(prefs::kLLMAPIKey).value_or(""));
  view_->setText(Field::model, preferences_.stringValue(prefs::kLLMModel).value_or(defaultModel));
  view_->setStatus("", StatusColor::secondaryLabel);
  view_->center();
  // The view lives no longer than this window, so its callbacks may hold it plainly.
  view_->onTest = [this] { test(); };
  view_->onSave = [this] { save(); };
}

void SettingsWindow::makeKeyAndOrderFront() { view_->makeKeyAndOrderFront(); }

bool SettingsWindow::applyFields() {
  preferences_.setString(prefs::kLLMAPIBaseURL, view_->text(Field::baseURL));
  preferences_.setString(prefs::kLLMModel, view_->text(Field::model));
  return APIKeyField::store(*view_, preferences_, prefs::kLLMAPIKey);
}

void SettingsWindow::test() {
  const bool noted = applyFields();
  // Read back rather than taken from the field: the request uses what the store holds.
  if (preferences_.stringValue(prefs::kLLMAPIKey).value_or("").empty()) {
    view_->setStatus("API key is empty", StatusColor::systemRed);
    return;
  }
  auto answered = std::make_shared<bool>(false);
  refiner_.refine(std::string(kTestText), /*force=*/true,
                  [weak = weak_from_this(), answered](const RefineResult& result) {
                    *answered = true;
                    if (auto self = weak.lock()) self->showResult(result);
                  });
  // "Testing..." covers neither an answer known before any request (a malformed URL) nor the word
  // that the key lost a line break, which the answer replaces.
  if (!*answered && !noted) view_->setStatus("Testing...", StatusColor::secondaryLabel);
}

void SettingsWindow::showResult(const RefineResult& result) {
  if (const auto* text = std::get_if<std::string>(&result)) {
    view_->setStatus("OK: " + *text, StatusColor::systemGreen);
  } else {
    view_->setStatus(std::get<RefinerError>(result).localizedDescription(), StatusColor::systemRed);
  }
}

void SettingsWindow::save() {
  applyFields();
  view_->orderOut();
}

}  // namespace vellotype
