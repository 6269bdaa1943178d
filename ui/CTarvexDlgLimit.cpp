// The limit-point procedure: Enter puts the gyro into its limit mode and streams bus
// frames so the tail servo follows the Position slider; two Sets place the two limits.
#include <QAbstractButton>
#include <QComboBox>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QSlider>
#include <exception>

#include "gyro/BusFrame.h"
#include "gyro/Pause.h"
#include "ui/StringTableQt.h"
#include "ui/CTarvexDlg.h"

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
        if (auto* enter = qobject_cast<QAbstractButton*>(Control(ids::Enter)))
            enterPressed = enter->isChecked() ? 1 : 0;
        if (auto* rudder = qobject_cast<QComboBox*>(Control(ids::RudderChannel)))
            rudderChannelIndex = rudder->currentIndex();
    }
    if (enterPressed == 0) {
        // The user released Enter during the procedure.
        StopLimitSetting();
        ShowMessage(132, MessageIcon::Exclamation);
        return;
    }

    limitPointA = kFirstPointStart;
    limitPointB = kSecondPointStart;
    Control(ids::PositionSlider)->setEnabled(true);
    Control(ids::Set)->setEnabled(true);
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
    auto* slider = qobject_cast<QSlider*>(Control(ids::PositionSlider));
    BusFrame.setChannel(rudderChannelIndex, static_cast<std::uint16_t>(slider->value()));

    const std::uint64_t run = ++streamRun_;
    const bool started = streamTimer.Start(adapter, [this, run] {
        // On the timer thread. The call is queued to the window's thread; Qt drops it if
        // the window is destroyed first (the timer is joined before the window's QObject
        // part goes away, so the window is alive whenever this runs).
        QMetaObject::invokeMethod(
            this,
            [this, run] {
                if (run == streamRun_ && enterPressed != 0) OnStreamFailed();
            },
            Qt::QueuedConnection);
    });
    if (!started) {
        // Without a stream the servo would not follow: report it instead of going on.
        EndLimitSetting();
        ShowMessage(104, MessageIcon::Stop);
        return;
    }
    statusText = strings::text(121);
    ValuesToControls();
}

void CTarvexDlg::OnSetClicked() {
    if (enterPressed == 0) return;  // Set is enabled only during the procedure
    auto* slider = qobject_cast<QSlider*>(Control(ids::PositionSlider));

    if (limitStep == 0) {
        limitPointA = static_cast<std::uint16_t>(SliderToLimitRaw(slider->value()));
        if (!CheckLimitRange()) {
            // The message box ran an event loop: a failed stream may have ended the
            // procedure meanwhile.
            if (enterPressed != 0) StopLimitSetting();
            return;
        }
        Messages().Beep();
        limitStep = 1;
        statusText = strings::text(122);
        ValuesToControls();
        return;
    }

    // The servo goes back to neutral before the second point is judged.
    BusFrame.setChannel(rudderChannelIndex, static_cast<std::uint16_t>(kPositionCentre));
    PauseFor(kSettle);
    limitPointB = static_cast<std::uint16_t>(SliderToLimitRaw(slider->value()));
    if (!CheckLimitRange() || !CheckLimitSides()) {
        if (enterPressed != 0) StopLimitSetting();
        return;
    }
    Messages().Beep();
    streamTimer.Stop();
    ++streamRun_;

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
    statusText = strings::text(123);
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
    Control(ids::PositionSlider)->setEnabled(false);
    Control(ids::Set)->setEnabled(false);
    enterPressed = 0;
    if (auto* slider = qobject_cast<QSlider*>(Control(ids::PositionSlider))) {
        const QSignalBlocker block(slider);
        slider->setValue(kPositionCentre);
    }
    ReadSliders();
}

void CTarvexDlg::OnStreamFailed() {
    // A bus frame could not be written: the stream has stopped on the timer thread. The
    // procedure ends and the failure is reported once, whether or not the gyro also
    // refuses the limit-mode-off frame.
    EndLimitSetting();
    ShowMessage(104, MessageIcon::Stop);
}
