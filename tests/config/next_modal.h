// Driving a page's modal dialog: the call that opens it enters the dialog's loop, and the
// test's action runs from there.
#pragma once
#include <QApplication>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "ui/Window.h"

// Runs `drive` on the modal dialog that the next call opens.
inline void OnNextModal(std::function<void(ui::Window*)> drive) {
  QTimer::singleShot(0, [drive] {
    auto* w = qobject_cast<ui::Window*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    drive(w);
  });
}
