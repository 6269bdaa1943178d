// The limit-point procedure: Enter puts the gyro into its limit mode and streams bus
// frames so the tail servo follows the Position slider; two Sets place the two limits.
#include <exception>

#include "dialog/CTarvexDlg.h"
#include "gyro/BusFrame.h"
#include "gyro/Pause.h"

namespace {

constexpr std::uint16_t kFirstPointStart = 4656;   // 3648 + 1008, 100 %
constexpr std::uint16_t kSecondPointStart = 2640;  // 3648 - 1008, 100 %
constexpr int kBandLow = 3144;                     // the neutral band, 3648 +- 504
constexpr int kBandHigh = 4152;
constexpr int kPositionCentre = (352 + 1696) / 2;  // 1024, also the neutral channel value
constexpr std::uint32_t kSettle = 100;             // ms around the limit mode

bool InBand(int raw) {
    return raw >= kBandLow && raw <= kBandHigh;
}

}  // namespace

void CTarvexDlg::OnEnterClicked() {
    if (!ControlsToValues()) {
        // The ID box refused its text and every value kept its old contents; the two
        // that drive the procedure are taken from their controls anyway.
        enterPressed = window_.GetCheck(ids::Enter) ? 1 : 0;
        rudderChannelIndex = window_.GetListSelection(ids::RudderChannel);
    }
    if (enterPressed == 0) {
        // The user released Enter during the procedure.
        StopLimitSetting();
        ShowMessage(132, MessageIcon::Exclamation);
        return;
    }

    limitPointA = kFirstPointStart;
    limitPointB = kSecondPointStart;
    window_.SetEnabled(ids::PositionSlider, true);
    window_.SetEnabled(ids::Set, true);
    limitStep = 0;
    try {
        gyro.SetLimitMode(true);
    } catch (const std::exception&) {
        // The gyro did not take the limit mode: nothing runs, the procedure is idle.
        ResetLimitControls();
        statusText.clear();
        ValuesToControls();
        ShowMessage(104, MessageIcon::Stop);
        return;
    }
    PauseFor(kSettle);
    BusFrame.setChannel(rudderChannelIndex,
                        static_cast<std::uint16_t>(window_.GetTrackbarPos(ids::PositionSlider)));

    const std::uint64_t run = ++streamRun_;
    const bool started = streamTimer.Start(adapter, [this, run] {
        // On the timer thread. The call is queued to the dialog thread; the window drops it
        // when it is destroyed first (the timer is joined when the behaviour goes, before
        // its window).
        failedRun_.store(run);
        window_.PostToDialogThread([this, run] {
            if (run == streamRun_ && enterPressed != 0) OnStreamFailed();
        });
    });
    if (!started) {
        // Without a stream the servo would not follow: report it instead of going on.
        EndLimitSetting();
        ShowMessage(104, MessageIcon::Stop);
        return;
    }
    statusText = Text(121);
    ValuesToControls();
}

void CTarvexDlg::OnSetClicked() {
    if (enterPressed == 0) return;  // Set is enabled only during the procedure

    if (limitStep == 0) {
        limitPointA = static_cast<std::uint16_t>(
            SliderToLimitRaw(window_.GetTrackbarPos(ids::PositionSlider)));
        if (!CheckLimitRange()) {
            // The message box ran a message loop: a failed stream may have ended the
            // procedure meanwhile.
            if (enterPressed != 0) StopLimitSetting();
            return;
        }
        window_.Beep();
        limitStep = 1;
        statusText = Text(122);
        ValuesToControls();
        return;
    }

    // The servo goes back to neutral before the second point is judged.
    BusFrame.setChannel(rudderChannelIndex, static_cast<std::uint16_t>(kPositionCentre));
    PauseFor(kSettle);
    // The pause ran no posted calls: a stream that failed meanwhile ends the procedure here,
    // before the point is judged (its posted report is then dropped).
    if (StreamFailedInThisRun()) {
        OnStreamFailed();
        return;
    }
    limitPointB =
        static_cast<std::uint16_t>(SliderToLimitRaw(window_.GetTrackbarPos(ids::PositionSlider)));
    if (!CheckLimitRange() || !CheckLimitSides()) {
        if (enterPressed != 0) StopLimitSetting();
        return;
    }
    streamTimer.Stop();
    if (StreamFailedInThisRun()) {  // failed after the pause, before the stop
        OnStreamFailed();
        return;
    }
    ++streamRun_;
    window_.Beep();

    ParameterRecord& record = gyro.workingRecord;
    const int high = limitPointA > limitPointB ? limitPointA : limitPointB;
    const int low = limitPointA > limitPointB ? limitPointB : limitPointA;
    setLimitHigh(record, high);
    setLimitLow(record, low);
    limitHighPercent = limitPercent(record.limitHigh());
    limitLowPercent = limitPercent(record.limitLow());

    // The gyro is not taken out of its limit mode here: the new limits go to it with the
    // next Write.
    ResetLimitControls();
    statusText = Text(123);
    ValuesToControls();
}

bool CTarvexDlg::CheckLimitRange() {
    if (InBand(limitPointA) || InBand(limitPointB)) {
        ShowMessage(130, MessageIcon::Stop);
        return false;
    }
    return true;
}

bool CTarvexDlg::CheckLimitSides() {
    if ((limitPointA > kBandHigh && limitPointB < kBandLow) ||
        (limitPointB > kBandHigh && limitPointA < kBandLow))
        return true;
    ShowMessage(131, MessageIcon::Stop);
    return false;
}

void CTarvexDlg::StopLimitSetting() {
    // The callers (Read, Write, the closing check, a release of Enter, a failed check)
    // show their own messages; the stop reports only an adapter error of the
    // limit-mode-off frame, and the caller then goes on.
    if (!EndLimitSetting()) ShowMessage(104, MessageIcon::Stop);
}

bool CTarvexDlg::EndLimitSetting() {
    streamTimer.Stop();  // returns once no frame can go out any more
    ++streamRun_;
    PauseFor(kSettle);
    ResetLimitControls();
    bool offSent = true;
    try {
        gyro.SetLimitMode(false);
    } catch (const std::exception&) {
        offSent = false;
    }
    statusText.clear();
    ValuesToControls();
    return offSent;
}

void CTarvexDlg::ResetLimitControls() {
    window_.SetEnabled(ids::PositionSlider, false);
    window_.SetEnabled(ids::Set, false);
    enterPressed = 0;
    window_.SetTrackbarPos(ids::PositionSlider, kPositionCentre);
    ReadSliders();
}

void CTarvexDlg::OnStreamFailed() {
    // A bus frame could not be written: the stream has stopped on the timer thread. The
    // procedure ends and the failure is reported once, whether or not the gyro also
    // refuses the limit-mode-off frame.
    EndLimitSetting();
    ShowMessage(104, MessageIcon::Stop);
}
