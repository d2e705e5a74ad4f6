// Helpers of the window tests: saving a window as a PNG for a person to look at, and
// answering the next modal window from inside its event loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <functional>

// Saves the widget into the build folder's screenshots folder under name + ".png".
inline void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = QStringLiteral(QUILLMARK_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  const bool wasVisible = widget->isVisible();
  if (!wasVisible) widget->show();
  QApplication::processEvents();
  EXPECT_TRUE(widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")))
      << name.toStdString();
  if (!wasVisible) widget->hide();
}

// Runs action on the modal widget that opens next (polled, so it works whatever
// opens the window); gives up after a few seconds so a test never hangs.
inline void OnNextModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, action, notThis] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != notThis && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      action(modal);
    } else if (++*tries > 500) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "no modal window opened";
    }
  });
  timer->start(10);
}
