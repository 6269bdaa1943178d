// A Qt window on the virtual gyro for the tests of what the Qt side adds (routing, keys,
// accessibility, drops, menus): the window with fake message and file services, its own
// adapter on libtarvex-vgyro, a pause that records the fixed waits instead of sleeping, and
// direct access to the virtual gyro's control functions.
#pragma once

#include <dlfcn.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "gyro/BusFrame.h"
#include "tests/support/FrameKinds.h"
#include "tests/support/RecordingPause.h"
#include "tests/ui/UiFakes.h"
#include "ui/QtTarvexWindow.h"
#include "ui/StringTableQt.h"

namespace uitest {

// Set before QApplication exists (from a test class's initMain).
inline void PrepareEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TARVEX_VGYRO_FAST", "1");
    qputenv("TARVEX_VGYRO_STATE", "none");
    qunsetenv("TARVEX_VGYRO_FAULTS");
    IsolateUserSettings();
}

inline QByteArray VirtualGyroPath() {
#ifdef TARVEX_VGYRO_PATH
    return QByteArray(TARVEX_VGYRO_PATH);
#else
    return QFile::encodeName(QCoreApplication::applicationDirPath() +
                             QStringLiteral("/libtarvex-vgyro.so"));
#endif
}

// The virtual gyro's control functions, bound from the same library file the adapter loads.
struct VirtualGyro {
    void (*reset)() = nullptr;
    int (*setFaults)(const char*) = nullptr;
    void (*getRecord)(std::uint8_t*) = nullptr;
    void (*setRecord)(const std::uint8_t*) = nullptr;
    int (*limitMode)() = nullptr;
    int (*servoValue)() = nullptr;
    std::uint64_t (*busFrames)() = nullptr;
    std::size_t (*commandCount)() = nullptr;
    int (*commandFrame)(std::size_t, std::uint8_t*) = nullptr;

    static VirtualGyro& Get() {
        static VirtualGyro gyro = [] {
            VirtualGyro g;
            void* lib = dlopen(VirtualGyroPath().constData(), RTLD_NOW | RTLD_LOCAL);
            if (lib == nullptr) throw std::runtime_error(dlerror());
            auto bind = [lib](auto& slot, const char* name) {
                slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(lib, name));
                if (slot == nullptr) throw std::runtime_error(name);
            };
            bind(g.reset, "vgyro_reset");
            bind(g.setFaults, "vgyro_set_faults");
            bind(g.getRecord, "vgyro_get_record");
            bind(g.setRecord, "vgyro_set_record");
            bind(g.limitMode, "vgyro_limit_mode");
            bind(g.servoValue, "vgyro_servo_value");
            bind(g.busFrames, "vgyro_bus_frames");
            bind(g.commandCount, "vgyro_command_count");
            bind(g.commandFrame, "vgyro_command_frame");
            return g;
        }();
        return gyro;
    }

    ParameterRecord Record() const {
        ParameterRecord r;
        getRecord(r.bytes.data());
        return r;
    }

    // What each command frame asked for (tests/support/FrameKinds.h).
    using Frame = FrameKind;
    std::vector<Frame> Frames(std::size_t from = 0) const {
        return ClassifyFrames(
            commandCount(),
            [this](std::size_t i) {
                std::array<std::uint8_t, 17> f{};
                commandFrame(i, f.data());
                return f;
            },
            from);
    }
};

// One window, connected to a fresh virtual gyro.
class Window {
  public:
    FakeMessageService messages;
    FakeFileChooser files;
    RecordingPause pause;
    TBX3 adapter;
    std::unique_ptr<QtTarvexWindow> dlg;
    bool connected = false;

    Window() {
        qputenv("TARVEX_D2XX", VirtualGyroPath());
        gyro().reset();
        dlg =
            std::make_unique<QtTarvexWindow>(adapter, QtTarvexWindow::Services{&messages, &files});
        connected = dlg->OnInitDialog();
        if (connected) dlg->show();
    }
    ~Window() {
        dlg.reset();
        gyro().setFaults("");
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    static VirtualGyro& gyro() { return VirtualGyro::Get(); }
    QtTarvexWindow& operator*() { return *dlg; }
    QtTarvexWindow* operator->() { return dlg.get(); }
    // The behaviour behind the window.
    CTarvexDlg& dialog() { return dlg->Dialog(); }

    QSlider* slider(int id) const { return qobject_cast<QSlider*>(dlg->Control(id)); }
    QAbstractButton* button(int id) const {
        return qobject_cast<QAbstractButton*>(dlg->Control(id));
    }
    QComboBox* combo(int id) const { return qobject_cast<QComboBox*>(dlg->Control(id)); }
    QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(dlg->Control(id)); }
    QString text(int id) const { return edit(id)->text(); }
    bool enabled(int id) const { return dlg->Control(id)->isEnabled(); }

    // A successful Read from the virtual gyro, its message and waits forgotten.
    bool Read() {
        dialog().OnRead();
        const bool ok = messages.Ids() == std::vector<int>{117};
        messages.Clear();
        pause.clear();
        return ok;
    }
    // What the user's hand does: the control's own signals run the handlers.
    void MoveSlider(int id, int position) { slider(id)->setValue(position); }
    void Click(int id) { button(id)->click(); }
    // A choice in a list, as the user makes it (the lists react to activation only).
    void Select(int id, int index) {
        combo(id)->setCurrentIndex(index);
        emit combo(id)->activated(index);
    }
};

inline std::vector<int> Ids(std::initializer_list<int> ids) {
    return std::vector<int>(ids);
}

}  // namespace uitest

// Lets QCOMPARE print message id lists.
namespace QTest {
template <>
inline char* toString(const std::vector<int>& v) {
    QByteArray s = "{";
    for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + QByteArray::number(v[i]);
    return qstrdup(s + "}");
}
template <>
inline char* toString(const std::vector<std::uint32_t>& v) {
    QByteArray s = "{";
    for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + QByteArray::number(v[i]);
    return qstrdup(s + "}");
}
template <>
inline char* toString(const std::vector<uitest::VirtualGyro::Frame>& v) {
    static const char* const names[] = {"Read", "Page", "LimitOn", "LimitOff", "Other"};
    QByteArray s = "{";
    for (std::size_t i = 0; i < v.size(); ++i)
        s += (i ? "," : "") + QByteArray(names[static_cast<int>(v[i])]);
    return qstrdup(s + "}");
}
}  // namespace QTest
