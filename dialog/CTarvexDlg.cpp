// The window's life (construction, initialisation, connection), its data exchange and the
// transfers between the working record and the controls.
#include "dialog/CTarvexDlg.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "gyro/BusFrame.h"

namespace {

// A configuration slider and the value it shares with its value box, in the order in which
// the sliders are placed.
struct SliderPair {
    int slider;
    int valueBox;
    int CTarvexDlg::*value;
};

constexpr std::array<SliderPair, 15> kSliderPairs = {{
    {ids::DGainSlider, ids::DGain, &CTarvexDlg::dGain},
    {ids::YawRateSlider, ids::YawRate, &CTarvexDlg::holdexYawRatePercent},
    {ids::HoldexGainSlider, ids::HoldexGain, &CTarvexDlg::holdexGain},
    {ids::ControlResponse1Slider, ids::ControlResponse1, &CTarvexDlg::controlResponseRight},
    {ids::ControlResponse2Slider, ids::ControlResponse2, &CTarvexDlg::controlResponseLeft},
    {ids::HoldexResponse1Slider, ids::HoldexResponse1, &CTarvexDlg::holdexResponseRightIn},
    {ids::HoldexResponse2Slider, ids::HoldexResponse2, &CTarvexDlg::holdexResponseRightOut},
    {ids::HoldexResponse3Slider, ids::HoldexResponse3, &CTarvexDlg::holdexResponseLeftIn},
    {ids::HoldexResponse4Slider, ids::HoldexResponse4, &CTarvexDlg::holdexResponseLeftOut},
    {ids::ExpNormalSlider, ids::ExpNormal, &CTarvexDlg::expNormal},
    {ids::ExpHoldexSlider, ids::ExpHoldex, &CTarvexDlg::expHoldex},
    {ids::DDampingSlider, ids::DDamping, &CTarvexDlg::dDamping},
    {ids::BaseGainSlider, ids::BaseGain, &CTarvexDlg::baseGain},
    {ids::RangeSlider, ids::Range, &CTarvexDlg::holdexRange},
    {ids::PirouetteSlider, ids::Pirouette, &CTarvexDlg::pirouetteSetting},
}};

// Every numeric value box and its value.
struct ValueBox {
    int id;
    int CTarvexDlg::*value;
};

constexpr std::array<ValueBox, 18> kValueBoxes = {{
    {ids::ControlResponse1, &CTarvexDlg::controlResponseRight},
    {ids::ControlResponse2, &CTarvexDlg::controlResponseLeft},
    {ids::HoldexResponse1, &CTarvexDlg::holdexResponseRightIn},
    {ids::HoldexResponse2, &CTarvexDlg::holdexResponseRightOut},
    {ids::HoldexResponse3, &CTarvexDlg::holdexResponseLeftIn},
    {ids::HoldexResponse4, &CTarvexDlg::holdexResponseLeftOut},
    {ids::ExpNormal, &CTarvexDlg::expNormal},
    {ids::ExpHoldex, &CTarvexDlg::expHoldex},
    {ids::YawRate, &CTarvexDlg::holdexYawRatePercent},
    {ids::HoldexGain, &CTarvexDlg::holdexGain},
    {ids::Range, &CTarvexDlg::holdexRange},
    {ids::DGain, &CTarvexDlg::dGain},
    {ids::DDamping, &CTarvexDlg::dDamping},
    {ids::BaseGain, &CTarvexDlg::baseGain},
    {ids::HighLimit, &CTarvexDlg::limitHighPercent},
    {ids::LowLimit, &CTarvexDlg::limitLowPercent},
    {ids::Position, &CTarvexDlg::positionPercent},
    {ids::Pirouette, &CTarvexDlg::pirouetteSetting},
}};

// Every text box the program fills and its text.
struct TextBox {
    int id;
    std::string CTarvexDlg::*text;
};

constexpr std::array<TextBox, 9> kTextBoxes = {{
    {ids::ControlResponse1Label, &CTarvexDlg::controlResponse1Label},
    {ids::ControlResponse2Label, &CTarvexDlg::controlResponse2Label},
    {ids::HoldexResponse1Label, &CTarvexDlg::holdexResponse1Label},
    {ids::HoldexResponse2Label, &CTarvexDlg::holdexResponse2Label},
    {ids::HoldexResponse3Label, &CTarvexDlg::holdexResponse3Label},
    {ids::HoldexResponse4Label, &CTarvexDlg::holdexResponse4Label},
    {ids::HighLimitLabel, &CTarvexDlg::highLimitLabel},
    {ids::LowLimitLabel, &CTarvexDlg::lowLimitLabel},
    {ids::Status, &CTarvexDlg::statusText},
}};

// The radio groups: first and last control id and the value holding the checked index.
struct RadioGroup {
    int first;
    int last;
    int CTarvexDlg::*index;
};

constexpr std::array<RadioGroup, 5> kRadioGroups = {{
    {ids::F3C, ids::ThreeD, &CTarvexDlg::flightModeIndex},
    {ids::Digital1520, ids::Analog, &CTarvexDlg::servoModeIndex},
    {ids::GyroNormal, ids::GyroReverse, &CTarvexDlg::gyroReverseIndex},
    {ids::UpperSide, ids::BottomSide, &CTarvexDlg::mounting},
    {ids::Fast, ids::Slow, &CTarvexDlg::responseModeIndex},
}};

// Slider ranges and tick spacing.
struct SliderRange {
    int slider;
    int minimum;
    int maximum;
    int tick;
};

constexpr std::array<SliderRange, 16> kSliderRanges = {{
    {ids::ControlResponse1Slider, 0, 20, 5},
    {ids::ControlResponse2Slider, 0, 20, 5},
    {ids::HoldexResponse1Slider, 0, 20, 5},
    {ids::HoldexResponse2Slider, 0, 20, 5},
    {ids::HoldexResponse3Slider, 0, 20, 5},
    {ids::HoldexResponse4Slider, 0, 20, 5},
    {ids::ExpNormalSlider, -100, 100, 25},
    {ids::ExpHoldexSlider, -100, 100, 25},
    {ids::YawRateSlider, 30, 110, 10},
    {ids::HoldexGainSlider, 0, 50, 10},
    {ids::RangeSlider, 100, 500, 50},
    {ids::DGainSlider, 0, 250, 20},
    {ids::DDampingSlider, 0, 100, 10},
    {ids::BaseGainSlider, 30, 100, 10},
    {ids::PositionSlider, 352, 1696, 224},
    {ids::PirouetteSlider, 1, 10, 1},
}};

constexpr int kPositionCentre = 1024;

// The ID box's text as the platform's unsigned exchange reads it: optional blanks around a
// run of decimal digits, no sign.
enum class IdText { Good, NotANumber, OutOfRange };

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

IdText ParseIdText(const std::string& text, int* value) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (begin == end) return IdText::NotANumber;
    unsigned long long number = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return IdText::NotANumber;
        number = number * 10 + static_cast<unsigned long long>(c - '0');
        // Beyond the 32-bit unsigned range the platform no longer reads a number at all.
        if (number > 0xFFFFFFFFull) return IdText::NotANumber;
    }
    if (number > 65535) return IdText::OutOfRange;
    *value = static_cast<int>(number);
    return IdText::Good;
}

template <typename T>
T Clamp(int v, int lo, int hi) {
    return static_cast<T>(std::clamp(v, lo, hi));
}

}  // namespace

// ---- Construction ------------------------------------------------------------------------

CTarvexDlg::CTarvexDlg(TBX3& adapter_, DialogControls& window)
    : adapter(adapter_), gyro(adapter_), window_(window) {
    // The timer resolution is held for the window's life.
    timerResolution = TimerResolution();
    BeginTimerPeriod(timerResolution);
}

CTarvexDlg::~CTarvexDlg() {
    // No frame may go out once the window is gone.
    streamTimer.Stop();
    EndTimerPeriod(timerResolution);
}

// ---- Start-up ------------------------------------------------------------------------------

bool CTarvexDlg::OnInitDialog() {
    // The dialog's initialisation data: "1" to "16", not sorted.
    std::vector<std::string> channels;
    for (int i = 1; i <= 16; ++i) channels.push_back(std::to_string(i));
    window_.SetListItems(ids::RudderChannel, channels);
    window_.SetListItems(ids::GainChannel, channels);
    UpdateRecentMenu();
    ValuesToControls();
    InitSliders();
    EnableGyroCommands(readFromGyro);
    ConnectAdapter();
    if (connectionFailed_) return false;
    window_.SetEnabled(ids::PositionSlider, false);
    window_.SetEnabled(ids::Set, false);
    return true;
}

void CTarvexDlg::ConnectAdapter() {
    int failure = 0;
    try {
        adapter.Initialize();
        adapter.Open();
    } catch (const TBX3::InitializeError&) {
        failure = 118;  // "The device driver for TBX-3 is not installed."
    } catch (const TBX3::ConnectionError&) {
        failure = 119;  // "A TBX-3 is not connected."
    }
    if (failure == 0) return;
    ShowMessage(failure, MessageIcon::Stop);
    connectionFailed_ = true;
    // The records are still equal, so the closing check stays silent.
    OnCancel();
}

void CTarvexDlg::EnableGyroCommands(bool enable) {
    window_.SetEnabled(ids::WriteButton, enable);
    window_.SetEnabled(ids::Enter, enable);
    window_.SetEnabled(ids::ConnectWrite, enable);
    ValuesToControls();
}

void CTarvexDlg::OnAbout() {
    window_.ShowAbout();
}

// ---- Messages -------------------------------------------------------------------------------

std::string CTarvexDlg::Text(int id, const std::vector<std::string>& args) const {
    const std::string text = window_.LoadString(id);
    if (args.empty()) return text;
    // %1 to %9 replaced at once, so an argument's own "%2" stays as it is.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) {
                out += args[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

MessageAnswer CTarvexDlg::ShowMessage(int id, MessageIcon icon, MessageButtons buttons) {
    return window_.ShowMessage(id, Text(id), icon, buttons);
}

// ---- Data exchange --------------------------------------------------------------------------

void CTarvexDlg::ValuesToControls() {
    window_.SetNumber(ids::IdBox, gyroId);
    window_.SetCheck(ids::NotUsingId, notUsingId != 0);
    window_.SetListSelection(ids::RudderChannel, rudderChannelIndex);
    window_.SetListSelection(ids::GainChannel, gainChannelIndex);
    // An index that matches no button leaves none checked.
    for (const RadioGroup& group : kRadioGroups) {
        const int index = this->*group.index;
        const int checked =
            index >= 0 && index <= group.last - group.first ? group.first + index : 0;
        window_.SetRadio(group.first, group.last, checked);
    }
    for (const ValueBox& box : kValueBoxes) window_.SetNumber(box.id, this->*box.value);
    for (const TextBox& box : kTextBoxes) window_.SetText(box.id, this->*box.text);
    window_.SetCheck(ids::Enter, enterPressed != 0);
    // Every change of the values passes here: the title's modified marker follows them.
    UpdateTitle();
}

bool CTarvexDlg::ControlsToValues() {
    // The ID box first: a text it refuses stops the exchange before any value changes.
    int id = 0;
    const IdText parsed = ParseIdText(window_.GetText(ids::IdBox), &id);
    if (parsed != IdText::Good) {
        const std::string text = parsed == IdText::NotANumber
                                     ? Text(ids::ParseUint)
                                     : Text(ids::ParseIntRange, {"0", "65535"});
        window_.ShowMessage(0, text, MessageIcon::Exclamation, MessageButtons::Ok);
        window_.SetFocus(ids::IdBox);
        return false;
    }
    gyroId = id;
    notUsingId = window_.GetCheck(ids::NotUsingId) ? 1 : 0;
    rudderChannelIndex = window_.GetListSelection(ids::RudderChannel);
    gainChannelIndex = window_.GetListSelection(ids::GainChannel);
    for (const RadioGroup& group : kRadioGroups) {
        int index = -1;
        for (int control = group.first; control <= group.last; ++control)
            if (window_.GetCheck(control)) index = control - group.first;
        this->*group.index = index;
    }
    // The value boxes are read-only and hold what the program put there.
    for (const ValueBox& box : kValueBoxes) this->*box.value = window_.GetNumber(box.id);
    for (const TextBox& box : kTextBoxes) this->*box.text = window_.GetText(box.id);
    enterPressed = window_.GetCheck(ids::Enter) ? 1 : 0;
    return true;
}

// ---- Transfers --------------------------------------------------------------------------------

void CTarvexDlg::RefreshFromImage() {
    const ParameterRecord& r = gyro.workingRecord;
    gyroId = r.gyroId();
    window_.SetReadOnly(ids::IdBox, notUsingId == 0);
    gyroReverseIndex = r.gyroReverse();
    flightModeIndex = r.flightMode() == 1 ? 0 : 1;
    static constexpr std::array<int, 4> kServoIndex = {2, 2, 0, 1};
    servoModeIndex = kServoIndex[static_cast<std::size_t>(r.servoMode())];
    responseModeIndex = r.responseMode();
    rudderChannelIndex = r.rudderChannel();
    gainChannelIndex = r.gainChannel();
    controlResponseRight = r.controlResponseRight();
    controlResponseLeft = r.controlResponseLeft();
    holdexResponseRightIn = r.holdexResponseRightIn();
    holdexResponseRightOut = r.holdexResponseRightOut();
    holdexResponseLeftIn = r.holdexResponseLeftIn();
    holdexResponseLeftOut = r.holdexResponseLeftOut();
    limitHighPercent = limitPercent(r.limitHigh());
    limitLowPercent = limitPercent(r.limitLow());
    holdexYawRatePercent = yawRatePercent(r.holdexYawRate(), r.modeFlags());
    holdexGain = r.holdexGain();
    dGain = r.dGain();
    dDamping = r.dDamping();
    baseGain = r.baseGain();
    holdexRange = r.holdexRange();
    expNormal = r.expNormal();
    expHoldex = r.expHoldex();
    pirouetteSetting = std::clamp(pirouetteConsistency(r.pirouetteCurve()), 1, 11);
    ValuesToControls();
}

void CTarvexDlg::PlaceSliders() {
    // Outside the range a slider stops at the nearer end; the value keeps its number.
    for (const SliderPair& pair : kSliderPairs)
        window_.SetTrackbarPos(pair.slider, this->*pair.value);
    ValuesToControls();
}

void CTarvexDlg::InitSliders() {
    for (const SliderRange& range : kSliderRanges)
        window_.SetTrackbarRange(range.slider, range.minimum, range.maximum, range.tick);
    window_.SetTrackbarPos(ids::PositionSlider, kPositionCentre);
}

int CTarvexDlg::SliderToLimitRaw(int position) {
    return positionToLimitRaw(position);
}

void CTarvexDlg::ReadSliders() {
    for (const SliderPair& pair : kSliderPairs)
        this->*pair.value = window_.GetTrackbarPos(pair.slider);
    const int position = window_.GetTrackbarPos(ids::PositionSlider);
    positionPercent = limitPercent(static_cast<std::uint16_t>(SliderToLimitRaw(position)));
    // The rudder channel follows the Position slider on every call; the value goes out only
    // while the stream runs. A channel index outside 0..15 writes nothing.
    BusFrame.setChannel(rudderChannelIndex, static_cast<std::uint16_t>(position));
    ValuesToControls();
}

void CTarvexDlg::OnSliderScroll() {
    ReadSliders();
    StoreToImage();
}

void CTarvexDlg::UpdateDirectionLabels() {
    const bool bottom = mounting == 1;
    controlResponse1Label = Text(bottom ? 125 : 124);
    controlResponse2Label = Text(bottom ? 124 : 125);
    holdexResponse1Label = Text(bottom ? 128 : 126);
    holdexResponse2Label = Text(bottom ? 129 : 127);
    holdexResponse3Label = Text(bottom ? 126 : 128);
    holdexResponse4Label = Text(bottom ? 127 : 129);
    const bool same = gyro.workingRecord.gyroReverse() == (bottom ? 1 : 0);
    highLimitLabel = Text(same ? 124 : 125);
    lowLimitLabel = Text(same ? 125 : 124);
    ValuesToControls();
}

void CTarvexDlg::StoreToImage() {
    // A refused ID text leaves every value as it was; the store goes on with them.
    ControlsToValues();
    ParameterRecord& r = gyro.workingRecord;
    r.setGyroId(Clamp<std::uint16_t>(gyroId, 0, 65535));
    r.setFlightMode(flightModeIndex == 0 ? 1 : 0);
    r.setGyroReverse(gyroReverseIndex != 0 ? 1 : 0);
    r.setServoMode(servoModeIndex == 0 ? 2 : servoModeIndex == 1 ? 3 : 0);
    r.setControlResponseRight(Clamp<std::uint8_t>(controlResponseRight, 0, 255));
    r.setControlResponseLeft(Clamp<std::uint8_t>(controlResponseLeft, 0, 255));
    r.setDGain(Clamp<std::uint8_t>(dGain, 0, 255));
    r.setHoldexYawRate(
        Clamp<std::uint16_t>(yawRateRaw(holdexYawRatePercent, r.modeFlags()), 0, 65535));
    r.setHoldexGain(Clamp<std::uint8_t>(holdexGain, 0, 255));
    r.setHoldexResponseRightIn(Clamp<std::uint8_t>(holdexResponseRightIn, 0, 255));
    r.setHoldexResponseRightOut(Clamp<std::uint8_t>(holdexResponseRightOut, 0, 255));
    r.setHoldexResponseLeftIn(Clamp<std::uint8_t>(holdexResponseLeftIn, 0, 255));
    r.setHoldexResponseLeftOut(Clamp<std::uint8_t>(holdexResponseLeftOut, 0, 255));
    const int rudder = std::clamp(rudderChannelIndex, 0, 255);
    const int gain = std::clamp(gainChannelIndex, 0, 255);
    r.setChannels(static_cast<std::uint8_t>((rudder & 0x0F) + 16 * gain));
    r.setExpNormal(Clamp<std::int8_t>(expNormal, -128, 127));
    r.setExpHoldex(Clamp<std::int8_t>(expHoldex, -128, 127));
    r.setDDamping(Clamp<std::uint8_t>(dDamping, 0, 255));
    r.setBaseGain(Clamp<std::uint8_t>(baseGain, 0, 255));
    r.setHoldexRange(Clamp<std::uint16_t>(holdexRange, 0, 65535));
    r.setResponseMode(std::clamp(responseModeIndex, 0, 2));
    // The pirouette row comes from the slider itself, not from its value box.
    r.setPirouetteCurve(
        pirouetteRow(std::clamp(window_.GetTrackbarPos(ids::PirouetteSlider), 1, 11)));
    UpdateDirectionLabels();
}
