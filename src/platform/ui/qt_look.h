// The few pieces of look the windows share, so they stay alike.
#pragma once

#include <QColor>

class QFrame;
class QWidget;

namespace ui {

// A frame filled with a plain colour (the white bands at the top of the windows).
QFrame* NewBand(const QColor& color = Qt::white);
// Makes a widget's font bold and scale times its size.
void MakeBold(QWidget* widget, qreal scale = 1.0);

}  // namespace ui
