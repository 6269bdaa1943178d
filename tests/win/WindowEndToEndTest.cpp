// tarvex.exe's window end to end against the virtual gyro: the user's clicks, drags, menu
// commands and drops on the Win32 dialog, the boxes shown and the frames that reached the
// gyro, which are the ones the behaviour's own tests expect of every window.
#include <filesystem>

#include "gyro/Backups.h"
#include "tests/win/WindowTestSupport.h"
// clang-format off
#include "win/Resource.h"
// clang-format on

using namespace tarvex_win_test;
using dialogtest::Frame;

namespace {

// A Write: nine page frames, the closing frame, the verifying read.
std::vector<Frame> WriteFrames() {
    std::vector<Frame> frames(9, Frame::Page);
    frames.push_back(Frame::Other);
    frames.push_back(Frame::Read);
    return frames;
}

std::vector<Frame> FramesSince(std::size_t from) {
    return dialogtest::Gyro::Frames(from);
}

}  // namespace

TEST(WindowEndToEnd, ReadWriteFilesLimitsAndTheExitCheck) {
    std::error_code ignored;
    std::filesystem::remove_all(PathFromUtf8(BackupFolder()), ignored);
    dialogtest::ScratchDir scratch;
    BehaviourWindow w;
    ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
    tarvex_win::Win32Window& c = *w.window;
    const auto gyro = BehaviourWindow::gyro();

    // Start: connected without a word.
    EXPECT_EQ(w.services.Ids(), std::vector<int>{});
    EXPECT_EQ(WindowText(w.Dialog()), L"Tarvex");

    // Read.
    std::size_t from = gyro.commandCount();
    ASSERT_TRUE(w.Click(ids::ReadButton));
    EXPECT_EQ(w.services.Ids(), std::vector<int>{117});
    EXPECT_EQ(w.services.shown.back().icon, MessageIcon::Information);
    EXPECT_EQ(FramesSince(from), std::vector<Frame>{Frame::Read});
    const ParameterRecord held = gyro.Record();
    EXPECT_EQ(w.dlg().gyro.workingRecord, held);

    // A change, then Write: the record the gyro held is kept as a backup first.
    const int damping = c.GetTrackbarPos(ids::DDampingSlider) == 60 ? 70 : 60;
    w.Drag(ids::DDampingSlider, damping);
    EXPECT_EQ(c.GetNumber(ids::DDamping), damping);
    from = gyro.commandCount();
    ASSERT_TRUE(w.Click(ids::WriteButton));
    EXPECT_EQ(w.services.Ids(), (std::vector<int>{117, 105}));
    EXPECT_EQ(FramesSince(from), WriteFrames());
    EXPECT_EQ(int(gyro.Record().dDamping()), damping);
    const std::vector<BackupEntry> backups = ListBackups(BackupFolder());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(dialogtest::ReadBytes(backups[0].path), dialogtest::Bytes(held));

    // File > Restore Previous Settings opens the chooser in the backups folder; the backup
    // chosen brings back what the gyro held before the Write.
    w.services.openChoices = {tarvex_win::Widen(backups[0].path)};
    w.Command(ids::FileRestore);
    EXPECT_EQ(w.services.openFolder, tarvex_win::Widen(BackupFolder()));
    EXPECT_EQ(w.dlg().gyro.workingRecord, held);
    w.Drag(ids::DDampingSlider, damping);

    // Save As into a folder with a name beyond ASCII: the title names the file, the recent
    // list (menu and registry) holds it.
    const std::string folder = scratch.file("Grüße 日本");
    std::filesystem::create_directories(PathFromUtf8(folder));
    const std::string path = scratch.file("Grüße 日本/heli1.tcf");
    w.services.saveChoices = {tarvex_win::Widen(path)};
    w.services.shown.clear();
    w.Command(ids::FileSaveAs);
    EXPECT_EQ(w.services.Ids(), std::vector<int>{});
    EXPECT_EQ(dialogtest::ReadBytes(path), dialogtest::Bytes(w.dlg().gyro.workingRecord));
    EXPECT_EQ(WindowText(w.Dialog()), L"Tarvex - heli1.tcf");
    // The file saved; the backup opened before is no file to go back to and stays out.
    EXPECT_EQ(c.LoadRecentFiles(), (std::vector<std::string>{path}));
    SendMessageW(w.Dialog(), WM_INITMENUPOPUP,
                 reinterpret_cast<WPARAM>(GetSubMenu(GetMenu(w.Dialog()), 0)), 0);
    EXPECT_EQ(MenuText(GetMenu(w.Dialog()), ID_FILE_MRU_FILE1, MF_BYCOMMAND), L"&1 heli1.tcf");

    // Changed: the title's marker. Opened again (the chooser, then a drop): the file's values
    // are back and the marker gone.
    const std::vector<std::function<void()>> opens = {
        [&] {
            w.services.openChoices = {tarvex_win::Widen(path)};
            w.Command(ids::FileOpen);
        },
        [&] { w.Drop({tarvex_win::Widen(path)}); },
    };
    for (const auto& open : opens) {
        w.Drag(ids::DDampingSlider, damping + 5);
        EXPECT_EQ(WindowText(w.Dialog()), L"Tarvex - heli1.tcf*");
        open();
        EXPECT_EQ(w.services.Ids(), std::vector<int>{});
        EXPECT_EQ(c.GetNumber(ids::DDamping), damping);
        EXPECT_EQ(c.GetTrackbarPos(ids::DDampingSlider), damping);
        EXPECT_EQ(WindowText(w.Dialog()), L"Tarvex - heli1.tcf");
    }

    // Named on the command line: opened once the window's messages run.
    w.Drag(ids::DDampingSlider, damping + 5);
    c.OpenLater(tarvex_win::Widen(path));
    EXPECT_TRUE(w.PumpUntil([&] { return c.GetNumber(ids::DDamping) == damping; }));
    EXPECT_EQ(WindowText(w.Dialog()), L"Tarvex - heli1.tcf");

    // The limit procedure: Enter puts the gyro in limit mode and streams the Position slider
    // to the servo; two points set with Set become the record's limits.
    from = gyro.commandCount();
    ASSERT_TRUE(w.Click(ids::Enter));
    EXPECT_EQ(FramesSince(from), std::vector<Frame>{Frame::LimitOn});
    EXPECT_EQ(gyro.limitMode(), 1);
    EXPECT_EQ(c.GetText(ids::Status), c.LoadString(121));
    EXPECT_TRUE(IsWindowEnabled(w.Item(ids::PositionSlider)));
    w.Drag(ids::PositionSlider, 1600);
    const std::uint64_t streamed = gyro.busFrames();
    EXPECT_TRUE(w.PumpUntil([&] { return gyro.busFrames() > streamed + 2; }))
        << "no bus frames reached the gyro";
    ASSERT_TRUE(w.Click(ids::Set));
    EXPECT_EQ(c.GetText(ids::Status), c.LoadString(122));
    w.Drag(ids::PositionSlider, 500);
    ASSERT_TRUE(w.Click(ids::Set));
    EXPECT_EQ(c.GetText(ids::Status), c.LoadString(123));
    EXPECT_EQ(int(w.dlg().gyro.workingRecord.limitHigh()), 4944);
    EXPECT_EQ(int(w.dlg().gyro.workingRecord.limitLow()), 2469);
    EXPECT_EQ(c.GetNumber(ids::HighLimit), limitPercent(std::uint16_t(4944)));
    EXPECT_EQ(FramesSince(from), std::vector<Frame>{Frame::LimitOn});
    EXPECT_FALSE(IsWindowEnabled(w.Item(ids::PositionSlider)));
    EXPECT_EQ(w.services.Ids(), std::vector<int>{});

    // The exit check: the limits are unwritten; answered Yes, they are written and the
    // window closes.
    from = gyro.commandCount();
    w.services.answers = {MessageAnswer::Yes};
    SendMessageW(w.Dialog(), WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_EQ(w.services.Ids(), (std::vector<int>{133, 105}));
    // The procedure ended with the gyro still in limit mode: the Write's frames follow the
    // limit-mode-on frame directly, so the frame kinds' reading calls the first of them the
    // limit-mode-off frame; its flags say it is a page like the eight after it.
    std::vector<Frame> afterLimits = WriteFrames();
    afterLimits.front() = Frame::LimitOff;
    EXPECT_EQ(FramesSince(from), afterLimits);
    ASSERT_GT(gyro.commandCount(), from);
    EXPECT_NE(gyro.command(from)[15] & 0x08, 0);
    EXPECT_EQ(int(gyro.Record().limitHigh()), 4944);
    EXPECT_EQ(int(gyro.Record().limitLow()), 2469);
    EXPECT_TRUE(w.host.Ended());
    EXPECT_EQ(w.host.Result(), IDCANCEL);
}

// Without the driver the window says so and ends before it was ever shown, as on Linux.
TEST(WindowEndToEnd, WithoutTheDriverTheMessageAndNoWindow) {
    BehaviourWindow w(tarvex_win::Language::English, "C:\\nowhere\\ftd2xx.dll");
    EXPECT_EQ(w.Dialog(), nullptr);
    EXPECT_TRUE(w.host.Ended());
    EXPECT_EQ(w.host.Result(), IDCANCEL);
    EXPECT_EQ(w.services.Ids(), std::vector<int>{118});
    ASSERT_FALSE(w.services.shown.empty());
    EXPECT_EQ(w.services.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(w.services.shown[0].text, L"The device driver for TBX-3 is not installed.");
}
