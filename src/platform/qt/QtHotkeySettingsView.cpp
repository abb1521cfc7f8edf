#include "platform/qt/QtHotkeySettingsView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

#include "values/Color.h"

namespace vellotype {
namespace {

int points(double length) { return int(std::lround(length)); }

QFont fontFor(const HotkeySettingsView::Font& font) {
  QFont qfont = QApplication::font();
  // The window's geometry is in points that are pixels at scale 1, and so are its font sizes:
  // a Qt point size would grow the text by a third at 96 dpi and overflow the fixed window.
  qfont.setPixelSize(points(font.size));
  if (font.semibold) qfont.setWeight(QFont::DemiBold);
  return qfont;
}

QColor qColor(const Color& c) {
  return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha));
}

void setTextColor(QLabel& label, const QColor& color) {
  QPalette palette = label.palette();
  palette.setColor(QPalette::WindowText, color);
  label.setPalette(palette);
}

}  // namespace

QtHotkeySettingsView::QtHotkeySettingsView()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {}

QtHotkeySettingsView::~QtHotkeySettingsView() { removeCapture(); }

void QtHotkeySettingsView::build(const Layout& layout) {
  setWindowTitle(QString::fromStdString(layout.title));
  setFixedSize(points(layout.contentWidth), points(layout.contentHeight));

  auto* caption = new QLabel(QString::fromStdString(layout.currentKeyCaption), this);
  caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  currentKey_ = new QLabel(this);
  currentKey_->setObjectName("currentKey");
  currentKey_->setFont(fontFor(layout.currentKeyFont));
  setTextColor(*currentKey_, color(TextColor::label));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(points(layout.gridColumnSpacing));
  grid->setVerticalSpacing(points(layout.gridRowSpacing));
  grid->addWidget(caption, 0, 0);
  grid->addWidget(currentKey_, 0, 1);
  grid->setColumnStretch(1, 1);

  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setFont(fontFor(layout.statusFont));
  status_->setWordWrap(true);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setMaximumHeight(
      int(std::ceil(QFontMetricsF(status_->font()).lineSpacing() * layout.statusMaxLines)));

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(points(layout.buttonSpacing));
  buttons->addStretch();
  const std::array<std::function<void()>*, 3> actions{&onRecord, &onReset, &onDone};
  for (std::size_t i = 0; i < actions.size(); ++i) {
    auto* button = new QPushButton(QString::fromStdString(layout.buttonTitles[i]), this);
    // Return belongs to the last button alone, whichever button has the focus.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [action = actions[i]] {
      if (*action) (*action)();
    });
    buttons->addWidget(button);
    done_ = button;
  }
  done_->setDefault(true);

  // The grid hangs from the top and the buttons stand on the bottom; spare height goes between.
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(points(layout.sideMargin), points(layout.gridTop),
                             points(layout.sideMargin), points(layout.bottomMargin));
  column->setSpacing(0);
  column->addLayout(grid);
  column->addSpacing(points(layout.statusTop));
  column->addWidget(status_);
  column->addSpacing(points(layout.buttonsTop));
  column->addStretch();
  column->addLayout(buttons);
}

void QtHotkeySettingsView::center() {
  const auto* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void QtHotkeySettingsView::setCurrentKeyText(const std::string& text) {
  currentKey_->setText(QString::fromStdString(text));
}

void QtHotkeySettingsView::setStatus(const std::string& text, TextColor color) {
  status_->setText(QString::fromStdString(text));
  statusColor_ = color;
  paintStatus();
}

void QtHotkeySettingsView::paintStatus() { setTextColor(*status_, color(statusColor_)); }

QColor QtHotkeySettingsView::color(TextColor color) const {
  QColor text = palette().color(QPalette::WindowText);
  switch (color) {
    case TextColor::label:
      return text;
    case TextColor::secondaryLabel:
      text.setAlphaF(0.55f);
      return text;
    case TextColor::systemBlue:
      return qColor(Color::systemBlue());
    case TextColor::systemGreen:
      return qColor(Color::systemGreen());
  }
  return text;
}

void QtHotkeySettingsView::installCapture(CaptureHandler handler) {
  capture_ = std::move(handler);
  translator_.emplace(QGuiApplication::queryKeyboardModifiers());
  // The filter installed last runs first: ahead of the main menu's key equivalents.
  qApp->removeEventFilter(this);
  qApp->installEventFilter(this);
}

void QtHotkeySettingsView::removeCapture() {
  if (qApp) qApp->removeEventFilter(this);
  capture_ = nullptr;
  translator_.reset();
}

void QtHotkeySettingsView::makeKeyAndOrderFront() {
  show();
  raise();
  activateWindow();
}

void QtHotkeySettingsView::orderOut() { hide(); }

bool QtHotkeySettingsView::eventFilter(QObject*, QEvent* event) {
  if (!capture_) return false;
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Claiming the override keeps every shortcut from firing; the key press itself comes
      // through here next.
      event->accept();
      return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      break;
    default:
      return false;
  }
  // A key event passes the filter once for its window and again for each widget it reaches
  // unless taken; seeing it again changes nothing in the translation.
  const auto translated = translator_->translate(static_cast<const QKeyEvent&>(*event));
  // A press without an X keycode cannot be a trigger, but must not reach a button either.
  if (!translated) return event->type() == QEvent::KeyPress;
  // The handler may end the capture and so drop itself.
  const auto handler = capture_;
  return handler(*translated);
}

void QtHotkeySettingsView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // A Return just captured as the trigger and still held repeats: that is no press of Done.
    if (!event->isAutoRepeat()) done_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void QtHotkeySettingsView::closeEvent(QCloseEvent* event) {
  // The logic hides the window itself, and keeps it for the next time.
  event->ignore();
  if (onCloseButton) onCloseButton();
}

void QtHotkeySettingsView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange && status_) {
    setTextColor(*currentKey_, color(TextColor::label));
    paintStatus();
  }
  QWidget::changeEvent(event);
}

}  // namespace vellotype
