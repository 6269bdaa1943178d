// The window's life (construction, initialisation, connection), its data exchange and the
// transfers between the working record and the controls.
#include "ui/CTarvexDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <array>

#include "gyro/BusFrame.h"
#include "ui/StringTableQt.h"
#include "resources/window/WindowResources.h"
#include "ui/CAboutDlg.h"
#include "ui/WindowAccessibility.h"

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
    QString CTarvexDlg::*text;
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

IdText ParseIdText(const QString& text, int* value) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return IdText::NotANumber;
    qulonglong number = 0;
    for (const QChar c : trimmed) {
        if (c < u'0' || c > u'9') return IdText::NotANumber;
        number = number * 10 + static_cast<qulonglong>(c.unicode() - u'0');
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

CTarvexDlg::CTarvexDlg(TBX3& adapter_) : CTarvexDlg(adapter_, Services{}) {}

CTarvexDlg::CTarvexDlg(TBX3& adapter_, Services services, QWidget* parent)
    : QDialog(parent),
      adapter(adapter_),
      gyro(adapter_),
      messages_(services.messages ? services.messages : &QtMessageService()),
      files_(services.files ? services.files : &QtFileChooser()) {
    window_resources::Init();
    setObjectName(QStringLiteral("CTarvexDlg"));
    // Icon 200.
    icon = QIcon(QString::fromLatin1(window_resources::kIconPath));
    // The timer resolution is held for the window's life.
    timerResolution = TimerResolution();
    BeginTimerPeriod(timerResolution);
    // The accelerators are the menu actions' shortcuts.
    BuildWindow();
    BuildMenu();
    AcceptSettingsFileDrops();
    RetranslateUi();
}

CTarvexDlg::~CTarvexDlg() {
    // No frame may go out once the window is gone.
    streamTimer.Stop();
    EndTimerPeriod(timerResolution);
}

// ---- Start-up ------------------------------------------------------------------------------

bool CTarvexDlg::OnInitDialog() {
    // The lists already hold their items "1" to "16"; the initial values go to the controls.
    ValuesToControls();
    setWindowIcon(icon);
    InitSliders();
    EnableGyroCommands(readFromGyro);
    ConnectAdapter();
    if (connectionFailed_) return false;
    Control(ids::PositionSlider)->setEnabled(false);
    Control(ids::Set)->setEnabled(false);
    // The designed size (491 x 353 dialog units), or more when the captions need it.
    resize(sizeHint().expandedTo(QSize(980, 640)));
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
    Control(ids::WriteButton)->setEnabled(enable);
    Control(ids::Enter)->setEnabled(enable);
    // A disabled action's shortcut (Ctrl+W) does nothing, like a grayed item's accelerator.
    Action(ids::ConnectWrite)->setEnabled(enable);
    ValuesToControls();
}

void CTarvexDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

// ---- Access -------------------------------------------------------------------------------

QWidget* CTarvexDlg::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QAction* CTarvexDlg::Action(int commandId) const {
    const auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

QSlider* CTarvexDlg::Slider(int id) const {
    return qobject_cast<QSlider*>(Control(id));
}

QLineEdit* CTarvexDlg::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}

MessageAnswer CTarvexDlg::ShowMessage(int id, MessageIcon icon_, MessageButtons buttons) {
    return messages_->Show(this, id, strings::text(id), icon_, buttons);
}

void CTarvexDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) RetranslateUi();
    QDialog::changeEvent(event);
}

// ---- Data exchange --------------------------------------------------------------------------

void CTarvexDlg::SetRadio(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    // No button for this index: none is checked, as the platform shows a radio value that
    // matches no button.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

void CTarvexDlg::ValuesToControls() {
    Edit(ids::IdBox)->setText(QString::number(gyroId));
    qobject_cast<QAbstractButton*>(Control(ids::NotUsingId))->setChecked(notUsingId != 0);
    qobject_cast<QComboBox*>(Control(ids::RudderChannel))->setCurrentIndex(rudderChannelIndex);
    qobject_cast<QComboBox*>(Control(ids::GainChannel))->setCurrentIndex(gainChannelIndex);
    SetRadio(flightGroup_, flightModeIndex);
    SetRadio(servoGroup_, servoModeIndex);
    SetRadio(reverseGroup_, gyroReverseIndex);
    SetRadio(mountingGroup_, mounting);
    SetRadio(responseGroup_, responseModeIndex);
    for (const ValueBox& box : kValueBoxes)
        Edit(box.id)->setText(QString::number(this->*box.value));
    const QString shownStatus = Edit(ids::Status)->text();
    for (const TextBox& box : kTextBoxes) Edit(box.id)->setText(this->*box.text);
    // A new prompt is spoken at once, wherever the focus is.
    if (statusText != shownStatus) window_access::AnnounceStatus(Edit(ids::Status));
    auto* enter = qobject_cast<QAbstractButton*>(Control(ids::Enter));
    const QSignalBlocker block(enter);
    enter->setChecked(enterPressed != 0);
    // Every change of the values passes here: the title's modified marker follows them.
    UpdateTitle();
}

bool CTarvexDlg::ControlsToValues() {
    // The ID box first: a text it refuses stops the exchange before any value changes.
    int id = 0;
    const IdText parsed = ParseIdText(Edit(ids::IdBox)->text(), &id);
    if (parsed != IdText::Good) {
        const QString text =
            parsed == IdText::NotANumber
                ? tr("Please enter a positive integer.")
                : tr("Please enter an integer between %1 and %2.").arg(0).arg(65535);
        messages_->Show(this, 0, text, MessageIcon::Exclamation, MessageButtons::Ok);
        QLineEdit* box = Edit(ids::IdBox);
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return false;
    }
    gyroId = id;
    notUsingId = qobject_cast<QAbstractButton*>(Control(ids::NotUsingId))->isChecked() ? 1 : 0;
    rudderChannelIndex = qobject_cast<QComboBox*>(Control(ids::RudderChannel))->currentIndex();
    gainChannelIndex = qobject_cast<QComboBox*>(Control(ids::GainChannel))->currentIndex();
    flightModeIndex = flightGroup_->checkedId();
    servoModeIndex = servoGroup_->checkedId();
    gyroReverseIndex = reverseGroup_->checkedId();
    mounting = mountingGroup_->checkedId();
    responseModeIndex = responseGroup_->checkedId();
    for (const ValueBox& box : kValueBoxes) {
        // The value boxes are read-only and hold what the program put there.
        this->*box.value = Edit(box.id)->text().trimmed().toInt();
    }
    for (const TextBox& box : kTextBoxes) this->*box.text = Edit(box.id)->text();
    enterPressed = qobject_cast<QAbstractButton*>(Control(ids::Enter))->isChecked() ? 1 : 0;
    return true;
}

// ---- Transfers --------------------------------------------------------------------------------

void CTarvexDlg::RefreshFromImage() {
    const ParameterRecord& r = gyro.workingRecord;
    gyroId = r.gyroId();
    Edit(ids::IdBox)->setReadOnly(notUsingId == 0);
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
    for (const SliderPair& pair : kSliderPairs) {
        QSlider* slider = Slider(pair.slider);
        const QSignalBlocker block(slider);
        // Outside the range the slider stops at the nearer end; the value keeps its number.
        slider->setValue(this->*pair.value);
    }
    ValuesToControls();
}

void CTarvexDlg::InitSliders() {
    for (const SliderRange& range : kSliderRanges) {
        QSlider* slider = Slider(range.slider);
        const QSignalBlocker block(slider);
        slider->setRange(range.minimum, range.maximum);
        slider->setTickInterval(range.tick);
        slider->setTickPosition(QSlider::TicksAbove);
        slider->setSingleStep(1);
        slider->setPageStep(range.tick);
    }
    QSlider* position = Slider(ids::PositionSlider);
    const QSignalBlocker block(position);
    position->setValue(kPositionCentre);
}

int CTarvexDlg::SliderToLimitRaw(int position) {
    return positionToLimitRaw(position);
}

void CTarvexDlg::ReadSliders() {
    for (const SliderPair& pair : kSliderPairs) this->*pair.value = Slider(pair.slider)->value();
    const int position = Slider(ids::PositionSlider)->value();
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
    controlResponse1Label = strings::text(bottom ? 125 : 124);
    controlResponse2Label = strings::text(bottom ? 124 : 125);
    holdexResponse1Label = strings::text(bottom ? 128 : 126);
    holdexResponse2Label = strings::text(bottom ? 129 : 127);
    holdexResponse3Label = strings::text(bottom ? 126 : 128);
    holdexResponse4Label = strings::text(bottom ? 127 : 129);
    const bool same = gyro.workingRecord.gyroReverse() == (bottom ? 1 : 0);
    highLimitLabel = strings::text(same ? 124 : 125);
    lowLimitLabel = strings::text(same ? 125 : 124);
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
    r.setPirouetteCurve(pirouetteRow(std::clamp(Slider(ids::PirouetteSlider)->value(), 1, 11)));
    UpdateDirectionLabels();
}
