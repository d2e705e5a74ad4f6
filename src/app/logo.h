// The product logo, drawn from the SVG in the program's resources.
#pragma once

#include <QPixmap>
#include <QSize>

// The logo scaled to fit size, keeping its proportions, sharp on high-density screens.
QPixmap QuillmarkLogo(QSize size, qreal devicePixelRatio = 1.0);
