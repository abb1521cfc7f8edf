#include "platform/qt/QtOverlayWindow.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <cstdlib>

#include "platform/qt/QtAnimationCurve.h"
#include "platform/x11/XcbReply.h"
#include "visual/OverlayPanel.h"

namespace vellotype {
namespace {

// Room around the capsule for its shadow.
constexpr int kShadowMargin = 24;
constexpr double kCornerRadius = OverlayPanel::kCapsuleHeight / 2;
constexpr double kLabelLeft =
    OverlayPanel::kHorizontalPadding + OverlayPanel::kWaveSize + OverlayPanel::kGap;

// The capsule's geometry is reckoned upwards from the bottom of the main screen; Qt's runs
// downwards from the top of the desktop.
double primaryBottom() {
  const auto* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().y() + screen->geometry().height() : 0;
}

QFont labelFont() {
  QFont font = QGuiApplication::font();
  // Pixels, like the capsule's 56: points would make it a third larger on a 96 dpi screen.
  font.setPixelSize(15);
  font.setWeight(QFont::Medium);
  return font;
}

// One line: a transcript's line breaks show as spaces.
QString oneLine(const std::string& text) {
  QString line = QString::fromStdString(text);
  line.replace('\n', ' ').replace('\r', ' ');
  return line;
}

}  // namespace

QtOverlayWindow::QtOverlayWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                           Qt::X11BypassWindowManagerHint),
      bars_(new QtWaveformBars(this)),
      label_(new QLabel(this)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::NoFocus);
  label_->setFont(labelFont());
  QPalette palette = label_->palette();
  palette.setColor(QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.92f));
  label_->setPalette(palette);
  setWindowTitle("Vellotype capsule");
}

std::optional<Rect> QtOverlayWindow::mainScreenVisibleFrame() const {
  const auto* screen = QGuiApplication::primaryScreen();
  if (!screen) return std::nullopt;
  const QRect area = screen->availableGeometry();
  return Rect{double(area.x()), primaryBottom() - (area.y() + area.height()), double(area.width()),
              double(area.height())};
}

double QtOverlayWindow::measureTextWidth(const std::string& text) const {
  return QFontMetricsF(labelFont()).horizontalAdvance(oneLine(text));
}

void QtOverlayWindow::setText(const std::string& text) {
  text_ = oneLine(text);
  showText();
}

void QtOverlayWindow::showText() {
  const int width = std::max(0, label_->width());
  label_->setText(QFontMetrics(label_->font()).elidedText(text_, Qt::ElideRight, width));
}

void QtOverlayWindow::setFrame(const Rect& frame) {
  frameAnimation_.reset();
  modelFrame_ = frame;
  textWidth_ = labelWidthFor(frame);
  place(frame);
  layOutLabel();
}

int QtOverlayWindow::labelWidthFor(const Rect& frame) {
  return std::max(0, int(frame.width - kLabelLeft - OverlayPanel::kHorizontalPadding));
}

void QtOverlayWindow::place(const Rect& frame) {
  frame_ = frame;
  const double top = primaryBottom() - (frame.y + frame.height);
  setGeometry(int(std::lround(frame.x)) - kShadowMargin, int(std::lround(top)) - kShadowMargin,
              int(std::lround(frame.width)) + 2 * kShadowMargin,
              int(std::lround(frame.height)) + 2 * kShadowMargin);
}

void QtOverlayWindow::setAlpha(double alpha) {
  alphaAnimation_.reset();
  applyAlpha(alpha);
}

void QtOverlayWindow::applyAlpha(double alpha) {
  alpha_ = alpha;
  setWindowOpacity(std::clamp(alpha, 0.0, 1.0));
}

void QtOverlayWindow::orderFrontRegardless() {
  translucent_ = hasCompositor();
  if (translucent_) {
    clearMask();
  } else {
    // Without a compositor the clear corners would show black: cut the window to the capsule.
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(kShadowMargin, kShadowMargin, frame_.width, frame_.height),
                           kCornerRadius, kCornerRadius);
    setMask(QRegion(capsule.toFillPolygon().toPolygon()));
  }
  show();
  raise();
}

void QtOverlayWindow::orderOut() { hide(); }

void QtOverlayWindow::animate(const Animation& animation, std::function<void()> completion) {
  const auto start = [&](std::unique_ptr<QVariantAnimation>& slot, auto apply) {
    slot = std::make_unique<QVariantAnimation>();
    slot->setStartValue(0.0);
    slot->setEndValue(1.0);
    slot->setDuration(int(animation.duration * 1000));
    slot->setEasingCurve(animationCurve(animation.curve));
    QObject::connect(slot.get(), &QVariantAnimation::valueChanged, this,
                     [apply](const QVariant& value) { apply(value.toDouble()); });
    return slot.get();
  };
  // The completion waits for every property of this animation; one taken over by a later
  // animation never arrives, and neither does the completion.
  auto remaining = std::make_shared<int>(animation.alpha ? 2 : 1);
  auto arrived = [remaining, completion = std::move(completion)] {
    if (--*remaining == 0 && completion) completion();
  };

  const Rect from = frame_;
  const Rect to = animation.frame;
  modelFrame_ = to;
  // A capsule fading away keeps its text as it was rather than cutting it to the shrinking width.
  if (!(animation.alpha && *animation.alpha <= 0)) textWidth_ = labelWidthFor(to);
  layOutLabel();
  auto* move = start(frameAnimation_, [this, from, to](double t) {
    place({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t,
           from.width + (to.width - from.width) * t, from.height + (to.height - from.height) * t});
  });
  QObject::connect(move, &QVariantAnimation::finished, this, arrived);
  if (animation.alpha) {
    const double fromAlpha = alpha_;
    const double toAlpha = *animation.alpha;
    auto* fade = start(alphaAnimation_, [this, fromAlpha, toAlpha](double t) {
      applyAlpha(fromAlpha + (toAlpha - fromAlpha) * t);
    });
    QObject::connect(fade, &QVariantAnimation::finished, this, arrived);
    fade->start();
  }
  move->start();
}

void QtOverlayWindow::resizeEvent(QResizeEvent*) {
  const int capsuleHeight = height() - 2 * kShadowMargin;
  bars_->setGeometry(kShadowMargin + int(OverlayPanel::kHorizontalPadding),
                     kShadowMargin + (capsuleHeight - 32) / 2, int(OverlayPanel::kWaveSize), 32);
  layOutLabel();
  if (!translucent_) orderFrontRegardless();
}

void QtOverlayWindow::layOutLabel() {
  // The label takes the width the capsule is growing or shrinking to, and is clipped to the
  // capsule as it is now: text cut off at every step of the animation would flicker between
  // lengths, and text beyond the rounded end would hang in the air over the shadow.
  const QRect area(kShadowMargin + int(kLabelLeft), kShadowMargin, textWidth_,
                   int(OverlayPanel::kCapsuleHeight));
  if (label_->geometry() != area) {
    label_->setGeometry(area);
    showText();
  }
  QPainterPath capsule;
  capsule.addRoundedRect(QRectF(kShadowMargin - area.x(), kShadowMargin - area.y(),
                                width() - 2 * kShadowMargin, height() - 2 * kShadowMargin),
                         kCornerRadius, kCornerRadius);
  label_->setMask(QRegion(capsule.toFillPolygon().toPolygon()));
}

void QtOverlayWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF capsule(kShadowMargin, kShadowMargin, width() - 2 * kShadowMargin,
                       height() - 2 * kShadowMargin);
  if (translucent_) {
    // A soft shadow, 2 points down, fading out over 16 points.
    for (int step = 16; step > 0; step -= 2) {
      QPainterPath ring;
      ring.addRoundedRect(capsule.adjusted(-step, -step + 2, step, step + 2), kCornerRadius + step,
                          kCornerRadius + step);
      painter.fillPath(ring, QColor::fromRgbF(0, 0, 0, 0.45f * 2 / 16 * (1 - step / 17.0f)));
    }
  }
  QPainterPath body;
  body.addRoundedRect(capsule, kCornerRadius, kCornerRadius);
  painter.fillPath(body, QColor::fromRgbF(0.11f, 0.11f, 0.12f, translucent_ ? 0.86f : 1.0f));
  painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.1f), 0.5));
  painter.drawPath(body);
}

bool QtOverlayWindow::hasCompositor() const {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11) return true;  // not X11: the platform composites windows itself
  auto* c = x11->connection();
  // A compositing manager owns this selection for as long as it runs.
  static constexpr char kName[] = "_NET_WM_CM_S0";
  const XcbPtr<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kName - 1, kName), nullptr));
  if (!atom || atom->atom == XCB_NONE) return false;
  const XcbPtr<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
  return owner && owner->owner != XCB_NONE;
}

}  // namespace vellotype
