#include "platform/qt/QtTruncatingLabel.h"

#include <QPainter>
#include <QStyle>

namespace vellotype {

QtTruncatingLabel::QtTruncatingLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

// Any width will do: the text is cut to fit.
QSize QtTruncatingLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void QtTruncatingLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect();
  QString line = text();
  line.replace('\n', ' ');
  const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                        foregroundRole());
}

}  // namespace vellotype
