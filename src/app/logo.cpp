#include "app/logo.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources sit in a static library: naming them here keeps them linked in.
static void InitLogoResource() {
  static const bool done = [] {
    Q_INIT_RESOURCE(quillmark);
    return true;
  }();
  (void)done;
}

QPixmap QuillmarkLogo(QSize size, qreal devicePixelRatio) {
  InitLogoResource();
  QSvgRenderer renderer(QStringLiteral(":/quillmark/logo.svg"));
  QSize fitted = renderer.defaultSize();
  fitted.scale(size, Qt::KeepAspectRatio);
  QPixmap pixmap(fitted * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(fitted)));
  return pixmap;
}
