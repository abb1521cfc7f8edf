#include "platform/qt/QtSettingsView.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "values/Color.h"

namespace vellotype {
namespace {

constexpr int kContentWidth = 480;
constexpr int kMinFieldWidth = 300;
constexpr int kMargin = 20;
constexpr int kRowSpacing = 12;
constexpr int kColumnSpacing = 8;
constexpr int kButtonSpacing = 8;
// Sizes here are in the window's own units, like its 480 × 220: the status text keeps its
// proportion to the window whatever point size the desktop's fonts have.
constexpr int kStatusFontSize = 12;

constexpr std::array<const char*, 3> kLabels = {"API Base URL:", "API Key:", "Model:"};

QColor qColor(const Color& color) {
  return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue),
                          float(color.alpha));
}

}  // namespace

QtSettingsView::QtSettingsView(const QString& title, int height)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      grid_(new QGridLayout),
      status_(new QtTruncatingLabel(this)),
      test_(new QPushButton("Test", this)),
      save_(new QPushButton("Save", this)) {
  setWindowTitle(title);
  setFixedSize(kContentWidth, height);

  grid_->setVerticalSpacing(kRowSpacing);
  grid_->setHorizontalSpacing(kColumnSpacing);
  for (std::size_t row = 0; row < fields_.size(); ++row) {
    fields_[row] = new QLineEdit(this);
    fields_[row]->setMinimumWidth(kMinFieldWidth);
    addRow(kLabels[row], fields_[row]);
  }
  grid_->setColumnStretch(1, 1);

  QFont statusFont = QGuiApplication::font();
  statusFont.setPixelSize(kStatusFontSize);
  status_->setFont(statusFont);
  // Return anywhere in the window means Save, as the default button of a dialog does.
  save_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(kButtonSpacing);
  buttons->addWidget(status_, 1);
  buttons->addWidget(test_);
  buttons->addWidget(save_);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  column->setSpacing(0);
  column->addLayout(grid_);
  // The buttons keep to the bottom edge, the free space goes between them and the fields.
  column->addSpacing(kMargin);
  column->addStretch(1);
  column->addLayout(buttons);

  connect(test_, &QPushButton::clicked, this, [this] {
    if (onTest) onTest();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    if (onSave) onSave();
  });
}

void QtSettingsView::addRow(const QString& text, QWidget* widget, Qt::Alignment labelAlignment) {
  auto* label = new QLabel(text, this);
  label->setAlignment(Qt::AlignRight | labelAlignment);
  label->setBuddy(widget);
  const int row = grid_->rowCount();
  grid_->addWidget(label, row, 0,
                   labelAlignment == Qt::AlignVCenter ? Qt::Alignment() : labelAlignment);
  grid_->addWidget(widget, row, 1);
}

void QtSettingsView::fitToRows() {
  // A wrapped note is as tall as the window's fixed width makes it.
  auto* column = layout();
  setFixedHeight(column->hasHeightForWidth() ? column->heightForWidth(width())
                                             : column->sizeHint().height());
}

std::string QtSettingsView::text(Field which) const { return field(which).text().toStdString(); }

void QtSettingsView::setText(Field which, const std::string& text) {
  field(which).setText(QString::fromStdString(text));
}

void QtSettingsView::setPlaceholder(Field which, const std::string& placeholder) {
  field(which).setPlaceholderText(QString::fromStdString(placeholder));
}

void QtSettingsView::setStatus(const std::string& text, StatusColor color) {
  status_->setText(QString::fromStdString(text));
  if (color == StatusColor::secondaryLabel) {
    // Qt's dimmed text, which follows the desktop's light or dark theme.
    status_->setForegroundRole(QPalette::PlaceholderText);
    return;
  }
  QPalette palette = status_->palette();
  palette.setColor(
      QPalette::WindowText,
      qColor(color == StatusColor::systemRed ? Color::systemRed() : Color::systemGreen()));
  status_->setPalette(palette);
  status_->setForegroundRole(QPalette::WindowText);
}

void QtSettingsView::center() {
  const auto* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void QtSettingsView::makeKeyAndOrderFront() {
  show();
  raise();
  activateWindow();
}

void QtSettingsView::orderOut() { hide(); }

void QtSettingsView::keyPressEvent(QKeyEvent* event) {
  // Fields and the Test button leave Return to the window.
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    save_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace vellotype
