#pragma once
// The document with its flows and no window (the flows are tested that way), and the whole
// window for the wiring.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <memory>
#include <random>

#include "ScriptedDialogs.h"
#include "TestUtil.h"
#include "device/Emulator.h"
#include "editor/MainWindow.h"
#include "support/SampleConfigs.h"

namespace zez::test {

// The program's own files (settings, recovery copies, previous versions) inside `dir`.
inline Storage StorageIn(const TempDir& dir) {
    return {QString::fromStdString(dir.File("settings.ini")),
            QString::fromStdString(dir.File("recovery")),
            QString::fromStdString(dir.File("versions")),
            QString::fromStdString(dir.File("transfers.log"))};
}

class FlowTest : public ::testing::Test {
  protected:
    FlowTest() {
        QObject::connect(&doc, &Document::Restarted, [this] { restarts++; });
        QObject::connect(&files, &FileFlow::SaveEnded, [this] { saveEnds++; });
        QObject::connect(&transfers, &TransferFlow::UploadFailed, &files, &FileFlow::New);
    }
    // `ports` serial ports named sim0.., each reaching a fresh emulator with `faults`.
    void Device(device::Faults faults = {}, int ports = 1) {
        emulator = std::make_unique<device::DeviceEmulator>(faults);
        access.makePort = [this] {
            return std::make_unique<device::EmulatedPort>(*emulator, time);
        };
        access.time = &time;
        access.listPorts = [ports] {
            std::vector<device::PortInfo> list(static_cast<std::size_t>(ports));
            for (int i = 0; i < ports; ++i) list[i].path = "sim" + std::to_string(i);
            return list;
        };
        this->ports.Refresh();
    }
    void Drop(int seg, int code, int output = 0) {
        doc.ShowOutput(output);
        editor.Drop(seg, code);
    }
    // A typical configuration with a note, compiled.
    void CompileSample(unsigned seed) {
        std::mt19937 rng(seed);
        Config c = samples::Typical(rng);
        c.NoteData[0] = 'N';
        doc.Replace(c, std::nullopt, doc.changed());
        doc.Compile({});
    }
    const Box& Last() const { return dialogs.boxes.back(); }

    ProgramState state;
    ScriptedDialogs dialogs;
    device::SimTime time;
    std::unique_ptr<device::DeviceEmulator> emulator;
    DeviceAccess access;
    Document doc{state};
    FileFlow files{doc, dialogs};
    PortChoice ports{state, dialogs, access};
    TransferFlow transfers{doc, dialogs, ports, access};
    GridEditor editor{doc, dialogs};
    int restarts = 0, saveEnds = 0;
};

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override { window = std::make_unique<FrmZezUdiMain>(state, dialogs); }
    ClientArea& ui() { return window->client(); }

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

    // The menus say what the document is.
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
