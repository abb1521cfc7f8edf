#pragma once
// A one-line label that gives up width before its neighbours do and cuts its text short with an
// ellipsis at the end. Main thread only; owned by its parent widget.

#include <QLabel>

namespace vellotype {

class QtTruncatingLabel : public QLabel {
 public:
  explicit QtTruncatingLabel(QWidget* parent = nullptr);

  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vellotype
