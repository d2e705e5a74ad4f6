#include "platform/ui/qt_look.h"

#include <QFrame>

namespace ui {

QFrame* NewBand(const QColor& color) {
  auto* band = new QFrame;
  band->setAutoFillBackground(true);
  QPalette p = band->palette();
  p.setColor(QPalette::Window, color);
  band->setPalette(p);
  return band;
}

void MakeBold(QWidget* widget, qreal scale) {
  QFont f = widget->font();
  f.setBold(true);
  if (scale != 1.0) f.setPointSizeF(f.pointSizeF() * scale);
  widget->setFont(f);
}

}  // namespace ui
