#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <memory>

#include "ScriptedDialogs.h"
#include "editor/MainWindow.h"

namespace zez::test {

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override { window = std::make_unique<FrmZezUdiMain>(state, dialogs); }

    // What a user's drop of palette picture `code` delivers to `target`.
    static void DropPalette(QWidget* target, int code) {
        QMimeData mime;
        mime.setData(kSegmentMime, QByteArray::number(code));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
    }

    bool Compiled() const {
        return !window->menus.mnuCompile->isEnabled() && window->menus.mnuDownload->isEnabled();
    }
    bool NotCompiled() const {
        return window->menus.mnuCompile->isEnabled() && !window->menus.mnuDownload->isEnabled();
    }

    ProgramState state;
    ScriptedDialogs dialogs;
    std::unique_ptr<FrmZezUdiMain> window;
};

}  // namespace zez::test
