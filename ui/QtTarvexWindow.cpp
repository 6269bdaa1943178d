// The Qt window: the controls, their layout, captions, keyboard access and the menu; the
// control interface of the behaviour over those widgets; keys, closing, drops, the recent
// list's menu items and the user's settings.
#include "ui/QtTarvexWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "resources/window/WindowResources.h"
#include "ui/CAboutDlg.h"
#include "ui/StringTableQt.h"
#include "ui/WindowAccessibility.h"

namespace {

using window_access::Plain;

// Return or the keypad's Enter on a push button with the focus clicks it, as a dialog's
// push buttons do, without any button being the dialog's default.
class ReturnClicksButton final : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = key->modifiers() == Qt::NoModifier ||
                           (key->key() == Qt::Key_Enter && key->modifiers() == Qt::KeypadModifier);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || !plain) return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button == nullptr || !button->isEnabled()) return false;
        if (!key->isAutoRepeat()) button->click();
        return true;
    }
};

// Value boxes hold at most "65535" or "-128": room for six digits.
int ValueBoxWidth(const QWidget* w) {
    return w->fontMetrics().horizontalAdvance(QStringLiteral("-00000")) + 14;
}

}  // namespace

void QtTarvexWindow::BuildWindow() {
    setWindowTitle(QStringLiteral("Tarvex"));

    auto reg = [this](QWidget* w, int id) {
        w->setObjectName(QStringLiteral("c%1").arg(id));
        controls_[id] = w;
        window_access::Adopt(w);
        return w;
    };
    auto text = [this](auto* w, const char* source) {
        retranslators_.push_back([w, source] {
            w->setText(tr(source));
            w->setAccessibleName(Plain(tr(source)));
        });
    };
    auto title = [this](QGroupBox* box, const char* source) {
        retranslators_.push_back([box, source] {
            box->setTitle(tr(source));
            box->setAccessibleName(Plain(tr(source)));
        });
    };
    // The accessible name of a control without a caption of its own.
    auto named = [this](QWidget* w, std::function<QString()> name) {
        retranslators_.push_back([w, name] { w->setAccessibleName(name()); });
    };
    auto group = [&title](const char* source, const char* name) {
        auto* box = new QGroupBox;
        box->setObjectName(QString::fromLatin1(name));
        title(box, source);
        return box;
    };
    // A bordered, right-aligned, read-only value box; it mirrors its slider, so the
    // keyboard passes it by.
    auto valueBox = [&](int id) {
        auto* e = new QLineEdit;
        reg(e, id);
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setFixedWidth(ValueBoxWidth(e));
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    // A borderless, right-aligned, read-only box whose text the program sets.
    auto labelBox = [&](int id) {
        auto* e = new QLineEdit;
        reg(e, id);
        e->setReadOnly(true);
        e->setFrame(false);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setFocusPolicy(Qt::NoFocus);
        // No panel of its own: the text stands on the group's background like a caption.
        e->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
        // Wide enough for the longest direction text of the language in use.
        retranslators_.push_back([e] {
            int width = 0;
            for (int id = 124; id <= 129; ++id)
                width = std::max(width, e->fontMetrics().horizontalAdvance(strings::text(id)));
            e->setMinimumWidth(width + 12);
        });
        return e;
    };
    auto slider = [&](int id) {
        auto* s = new QSlider(Qt::Horizontal);
        reg(s, id);
        s->setTickPosition(QSlider::TicksAbove);
        s->setMinimumWidth(150);
        s->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(s, &QSlider::valueChanged, this, [this] { Dialog().OnSliderScroll(); });
        // Letting go of the handle is a scroll too, even where the value did not change.
        connect(s, &QSlider::sliderReleased, this, [this] { Dialog().OnSliderScroll(); });
        return s;
    };
    auto label = [&](const char* source, QWidget* buddy) {
        auto* l = new QLabel;
        text(l, source);
        l->setBuddy(buddy);
        return l;
    };
    auto radios = [&](QGroupBox* box, int firstId, std::initializer_list<const char*> sources,
                      bool horizontal, void (CTarvexDlg::*handler)()) {
        auto* buttonGroup = new QButtonGroup(this);
        radioGroups_[firstId] = buttonGroup;
        buttonGroup->setExclusive(true);
        QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(box))
                                        : static_cast<QBoxLayout*>(new QVBoxLayout(box));
        int index = 0;
        for (const char* source : sources) {
            auto* r = new QRadioButton;
            reg(r, firstId + index);
            text(r, source);
            buttonGroup->addButton(r, index);
            layout->addWidget(r);
            ++index;
        }
        if (horizontal) layout->addStretch(1);
        // Tab enters the group at its checked radio (at its first while none is checked); the
        // arrows move within it. The others keep the focus a click gives them.
        connect(buttonGroup, &QButtonGroup::idToggled, this, [buttonGroup] {
            const QAbstractButton* checked = buttonGroup->checkedButton();
            for (QAbstractButton* b : buttonGroup->buttons())
                b->setFocusPolicy(checked == nullptr || b == checked ? Qt::StrongFocus
                                                                     : Qt::ClickFocus);
        });
        // Clicks by the user only (mouse, keyboard, assistive tools), never the program's own
        // placements.
        connect(buttonGroup, &QButtonGroup::idClicked, this,
                [this, handler] { (Dialog().*handler)(); });
    };
    // One row of a grid: an optional caption or label box, a value box and a slider.
    auto sliderRow = [&](QGridLayout* grid, int row, QWidget* caption, int valueId, int sliderId) {
        if (caption) grid->addWidget(caption, row, 0);
        grid->addWidget(valueBox(valueId), row, 1);
        grid->addWidget(slider(sliderId), row, 2);
    };

    // ---- Left column: ID, channels and the modes --------------------------------------------
    auto* left = new QVBoxLayout;

    QGroupBox* idGroup = group(QT_TR_NOOP("&ID"), "gID");
    auto* idLayout = new QHBoxLayout(idGroup);
    auto* idBox = new QLineEdit;
    reg(idBox, ids::IdBox);
    idBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    idBox->setReadOnly(true);
    idBox->setMaxLength(10);
    idBox->setFixedWidth(ValueBoxWidth(idBox) + 10);
    named(idBox, [idGroup] { return Plain(idGroup->title()); });
    idLayout->addWidget(idBox);
    auto* notUsingId = new QCheckBox;
    reg(notUsingId, ids::NotUsingId);
    text(notUsingId, QT_TR_NOOP("Not using ID"));
    // Created hidden; nothing shows it.
    notUsingId->setVisible(false);
    connect(notUsingId, &QCheckBox::clicked, this, [this] { Dialog().OnNotUsingIdClicked(); });
    idLayout->addWidget(notUsingId);
    idLayout->addStretch(1);
    left->addWidget(idGroup);

    QGroupBox* channelGroup = group(QT_TR_NOOP("Channel"), "gChannel");
    auto* channelLayout = new QGridLayout(channelGroup);
    auto* rudder = new QComboBox;
    auto* gain = new QComboBox;
    reg(rudder, ids::RudderChannel);
    reg(gain, ids::GainChannel);
    QLabel* rudderLabel = label(QT_TR_NOOP("R&udder"), rudder);
    QLabel* gainLabel = label(QT_TR_NOOP("&Gain"), gain);
    for (QComboBox* list : {rudder, gain}) {
        // The items ("1" to "16") come from the dialog's initialisation.
        list->setMaxVisibleItems(16);
        connect(list, &QComboBox::activated, this, [this] { Dialog().OnChannelSelected(); });
    }
    named(rudder, [rudderLabel] { return Plain(rudderLabel->text()); });
    named(gain, [gainLabel] { return Plain(gainLabel->text()); });
    channelLayout->addWidget(rudderLabel, 0, 0);
    channelLayout->addWidget(rudder, 0, 1);
    channelLayout->addWidget(gainLabel, 1, 0);
    channelLayout->addWidget(gain, 1, 1);
    channelLayout->setColumnStretch(2, 1);
    left->addWidget(channelGroup);

    QGroupBox* flightBox = group(QT_TR_NOOP("F&light Mode"), "gFlightMode");
    radios(flightBox, ids::F3C, {QT_TR_NOOP("F3C"), QT_TR_NOOP("3D")}, false,
           &CTarvexDlg::OnModeChangeClicked);
    left->addWidget(flightBox);

    QGroupBox* servoBox = group(QT_TR_NOOP("Ser&vo Mode"), "gServoMode");
    radios(servoBox, ids::Digital1520,
           {QT_TR_NOOP("Digital (1520)"), QT_TR_NOOP("Digital (760)"), QT_TR_NOOP("Analog")}, false,
           &CTarvexDlg::OnModeChangeClicked);
    left->addWidget(servoBox);

    QGroupBox* reverseBox = group(QT_TR_NOOP("G&yro Reverse"), "gGyroReverse");
    radios(reverseBox, ids::GyroNormal, {QT_TR_NOOP("Normal"), QT_TR_NOOP("Reverse")}, false,
           &CTarvexDlg::OnGyroReverseClicked);
    left->addWidget(reverseBox);

    QGroupBox* mountingBox = group(QT_TR_NOOP("&Mounting Surface"), "gMountingSurface");
    radios(mountingBox, ids::UpperSide, {QT_TR_NOOP("Upper side"), QT_TR_NOOP("Bottom side")},
           false, &CTarvexDlg::OnMountingClicked);
    left->addWidget(mountingBox);
    left->addStretch(1);

    // ---- Middle column: the response setting ----------------------------------------------
    QGroupBox* responseBox = group(QT_TR_NOOP("Response Setting"), "gResponseSetting");
    auto* middle = new QVBoxLayout(responseBox);

    QGroupBox* modeBox = group(QT_TR_NOOP("M&ode"), "gMode");
    radios(modeBox, ids::Fast, {QT_TR_NOOP("Fast"), QT_TR_NOOP("Standard"), QT_TR_NOOP("Slow")},
           true, &CTarvexDlg::OnResponseModeClicked);
    middle->addWidget(modeBox);

    // Rows named by their group and number, since their direction texts move with the
    // mounting surface.
    auto rowNames = [&](QGroupBox* box, int row, int labelId, int valueId, int sliderId) {
        named(Control(labelId),
              [box, row] { return tr("Direction, %1, row %2").arg(Plain(box->title())).arg(row); });
        for (int id : {valueId, sliderId}) {
            named(Control(id),
                  [box, row] { return tr("%1, row %2").arg(Plain(box->title())).arg(row); });
        }
    };

    QGroupBox* controlBox = group(QT_TR_NOOP("Co&ntrol Response"), "gControlResponse");
    auto* controlGrid = new QGridLayout(controlBox);
    sliderRow(controlGrid, 0, labelBox(ids::ControlResponse1Label), ids::ControlResponse1,
              ids::ControlResponse1Slider);
    sliderRow(controlGrid, 1, labelBox(ids::ControlResponse2Label), ids::ControlResponse2,
              ids::ControlResponse2Slider);
    rowNames(controlBox, 1, ids::ControlResponse1Label, ids::ControlResponse1,
             ids::ControlResponse1Slider);
    rowNames(controlBox, 2, ids::ControlResponse2Label, ids::ControlResponse2,
             ids::ControlResponse2Slider);
    controlGrid->setColumnStretch(2, 1);
    middle->addWidget(controlBox);

    QGroupBox* holdexBox = group(QT_TR_NOOP("Holde&x Response"), "gHoldexResponse");
    auto* holdexGrid = new QGridLayout(holdexBox);
    const int holdexRows[4][3] = {
        {ids::HoldexResponse1Label, ids::HoldexResponse1, ids::HoldexResponse1Slider},
        {ids::HoldexResponse2Label, ids::HoldexResponse2, ids::HoldexResponse2Slider},
        {ids::HoldexResponse3Label, ids::HoldexResponse3, ids::HoldexResponse3Slider},
        {ids::HoldexResponse4Label, ids::HoldexResponse4, ids::HoldexResponse4Slider},
    };
    for (int row = 0; row < 4; ++row) {
        const int* r = holdexRows[row];
        sliderRow(holdexGrid, row, labelBox(r[0]), r[1], r[2]);
        rowNames(holdexBox, row + 1, r[0], r[1], r[2]);
    }
    // "Pirouette" over "Consistency".
    QWidget* pirouetteValue = valueBox(ids::Pirouette);
    QSlider* pirouetteSlider = slider(ids::PirouetteSlider);
    QLabel* pirouetteLabel = label(QT_TR_NOOP("&Pirouette\nConsistency"), pirouetteSlider);
    pirouetteLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    holdexGrid->addWidget(pirouetteLabel, 4, 0);
    holdexGrid->addWidget(pirouetteValue, 4, 1);
    holdexGrid->addWidget(pirouetteSlider, 4, 2);
    for (QWidget* w : {pirouetteValue, static_cast<QWidget*>(pirouetteSlider)}) {
        named(w, [holdexBox, pirouetteLabel] {
            return Plain(holdexBox->title()) + QLatin1Char(' ') + Plain(pirouetteLabel->text());
        });
    }
    holdexGrid->setColumnStretch(2, 1);
    middle->addWidget(holdexBox);

    // ---- Right column: EXP, Holdex setting, the gains, the limit procedure -------------------
    auto* right = new QVBoxLayout;
    // A captioned row; value box and slider are named by their group and caption.
    auto captionRow = [&](QGridLayout* grid, int row, QGroupBox* box, const char* source,
                          int valueId, int sliderId) {
        QWidget* value = valueBox(valueId);
        QSlider* s = slider(sliderId);
        QLabel* l = label(source, s);
        grid->addWidget(l, row, 0);
        grid->addWidget(value, row, 1);
        grid->addWidget(s, row, 2);
        for (QWidget* w : {value, static_cast<QWidget*>(s)}) {
            named(w, [box, l] {
                const QString caption = Plain(l->text());
                return box ? Plain(box->title()) + QLatin1Char(' ') + caption : caption;
            });
        }
    };

    QGroupBox* expBox = group(QT_TR_NOOP("EXP"), "gEXP");
    auto* expGrid = new QGridLayout(expBox);
    captionRow(expGrid, 0, expBox, QT_TR_NOOP("Norm&al"), ids::ExpNormal, ids::ExpNormalSlider);
    captionRow(expGrid, 1, expBox, QT_TR_NOOP("Holdex"), ids::ExpHoldex, ids::ExpHoldexSlider);
    expGrid->setColumnStretch(2, 1);
    right->addWidget(expBox);

    QGroupBox* settingBox = group(QT_TR_NOOP("Holdex setting"), "gHoldexSetting");
    auto* settingGrid = new QGridLayout(settingBox);
    captionRow(settingGrid, 0, settingBox, QT_TR_NOOP("Yaw Ra&te"), ids::YawRate,
               ids::YawRateSlider);
    captionRow(settingGrid, 1, settingBox, QT_TR_NOOP("Gain"), ids::HoldexGain,
               ids::HoldexGainSlider);
    captionRow(settingGrid, 2, settingBox, QT_TR_NOOP("Range"), ids::Range, ids::RangeSlider);
    settingGrid->setColumnStretch(2, 1);
    right->addWidget(settingBox);

    // D gain, D damp. and Base Gain stand below the Holdex setting, outside any group; the
    // side margins line them up with the groups' rows.
    auto* gainsGrid = new QGridLayout;
    gainsGrid->setContentsMargins(10, 0, 10, 0);
    captionRow(gainsGrid, 0, nullptr, QT_TR_NOOP("&D gain"), ids::DGain, ids::DGainSlider);
    captionRow(gainsGrid, 1, nullptr, QT_TR_NOOP("D damp."), ids::DDamping, ids::DDampingSlider);
    captionRow(gainsGrid, 2, nullptr, QT_TR_NOOP("&Base Gain"), ids::BaseGain, ids::BaseGainSlider);
    gainsGrid->setColumnStretch(2, 1);
    right->addLayout(gainsGrid);

    QGroupBox* limitBox = group(QT_TR_NOOP("Limit"), "gLimit");
    auto* limitGrid = new QGridLayout(limitBox);
    auto* enter = new QPushButton;
    reg(enter, ids::Enter);
    text(enter, QT_TR_NOOP("&Enter"));
    // A push-like check box: it stays pressed while the procedure runs.
    enter->setCheckable(true);
    connect(enter, &QPushButton::clicked, this, [this] { Dialog().OnEnterClicked(); });
    auto* set = new QPushButton;
    reg(set, ids::Set);
    text(set, QT_TR_NOOP("&Set"));
    connect(set, &QPushButton::clicked, this, [this] { Dialog().OnSetClicked(); });
    auto* limitButtons = new QHBoxLayout;
    limitButtons->addWidget(enter);
    limitButtons->addWidget(set);
    limitButtons->addStretch(1);
    limitGrid->addLayout(limitButtons, 0, 0, 1, 3);
    limitGrid->addWidget(labelBox(ids::HighLimitLabel), 1, 0);
    limitGrid->addWidget(valueBox(ids::HighLimit), 1, 1);
    limitGrid->addWidget(labelBox(ids::LowLimitLabel), 2, 0);
    limitGrid->addWidget(valueBox(ids::LowLimit), 2, 1);
    for (int row : {1, 2}) {
        const int labelId = row == 1 ? ids::HighLimitLabel : ids::LowLimitLabel;
        const int valueId = row == 1 ? ids::HighLimit : ids::LowLimit;
        named(Control(labelId), [limitBox, row] {
            return tr("Direction, %1, row %2").arg(Plain(limitBox->title())).arg(row);
        });
        named(Control(valueId),
              [limitBox, row] { return tr("%1, row %2").arg(Plain(limitBox->title())).arg(row); });
    }
    captionRow(limitGrid, 3, limitBox, QT_TR_NOOP("Position"), ids::Position, ids::PositionSlider);
    auto* status = new QLineEdit;
    window_access::AdoptStatusLine(status);
    reg(status, ids::Status);
    status->setReadOnly(true);
    status->setFocusPolicy(Qt::NoFocus);
    named(status, [limitBox] { return tr("Status, %1").arg(Plain(limitBox->title())); });
    limitGrid->addWidget(status, 4, 0, 1, 3);
    limitGrid->setColumnStretch(2, 1);
    right->addWidget(limitBox);
    right->addStretch(1);

    auto* commands = new QHBoxLayout;
    commands->addStretch(1);
    auto* read = new QPushButton;
    reg(read, ids::ReadButton);
    text(read, QT_TR_NOOP("&Read"));
    connect(read, &QPushButton::clicked, this, [this] { Dialog().OnRead(); });
    auto* write = new QPushButton;
    reg(write, ids::WriteButton);
    text(write, QT_TR_NOOP("&Write"));
    connect(write, &QPushButton::clicked, this, [this] { Dialog().OnWrite(); });
    for (QPushButton* b : {read, write}) {
        b->setMinimumWidth(110);
        commands->addWidget(b);
    }
    right->addLayout(commands);

    // Each value box and slider tells its range, and its unit where it has one. The limit
    // and Position boxes show percent; the Position slider moves in raw positions.
    struct Range {
        int valueBox;
        int slider;  // 0: a box without a slider of the same scale
        int minimum;
        int maximum;
        bool percent;
    };
    static constexpr Range kRanges[] = {
        {ids::ControlResponse1, ids::ControlResponse1Slider, 0, 20, false},
        {ids::ControlResponse2, ids::ControlResponse2Slider, 0, 20, false},
        {ids::HoldexResponse1, ids::HoldexResponse1Slider, 0, 20, false},
        {ids::HoldexResponse2, ids::HoldexResponse2Slider, 0, 20, false},
        {ids::HoldexResponse3, ids::HoldexResponse3Slider, 0, 20, false},
        {ids::HoldexResponse4, ids::HoldexResponse4Slider, 0, 20, false},
        {ids::Pirouette, ids::PirouetteSlider, 1, 10, false},
        {ids::ExpNormal, ids::ExpNormalSlider, -100, 100, false},
        {ids::ExpHoldex, ids::ExpHoldexSlider, -100, 100, false},
        {ids::YawRate, ids::YawRateSlider, 30, 110, true},
        {ids::HoldexGain, ids::HoldexGainSlider, 0, 50, false},
        {ids::Range, ids::RangeSlider, 100, 500, false},
        {ids::DGain, ids::DGainSlider, 0, 250, false},
        {ids::DDamping, ids::DDampingSlider, 0, 100, false},
        {ids::BaseGain, ids::BaseGainSlider, 30, 100, false},
        {ids::HighLimit, 0, 0, 150, true},
        {ids::LowLimit, 0, 0, 150, true},
        {ids::Position, 0, 0, 150, true},
        {ids::PositionSlider, 0, 352, 1696, false},
    };
    for (const Range& r : kRanges) {
        QWidget* box = Control(r.valueBox);
        QWidget* s = r.slider != 0 ? Control(r.slider) : nullptr;
        retranslators_.push_back([box, s, r] {
            const QString text =
                (r.percent ? tr("%1 to %2 percent") : tr("%1 to %2")).arg(r.minimum).arg(r.maximum);
            box->setAccessibleDescription(text);
            if (s) s->setAccessibleDescription(text);
        });
    }

    // ---- The whole window ----------------------------------------------------------------
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    auto* middleColumn = new QVBoxLayout;
    middleColumn->addWidget(responseBox);
    middleColumn->addStretch(1);
    columns->addLayout(middleColumn, 1);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    // No push button is the window's default (Qt would make the first one the default when
    // the window shows): Return clicks the push button that has the focus and is the OK
    // command anywhere else.
    auto* returnClicks = new ReturnClicksButton(this);
    for (QPushButton* b : {enter, set, read, write}) {
        b->setAutoDefault(false);
        b->installEventFilter(returnClicks);
    }
}

void QtTarvexWindow::BuildMenu() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("menu4"));
    layout()->setMenuBar(menuBar_);

    // Menu texts carry the disambiguation "menu": the Read and Write buttons share their
    // English captions but not their translations.
    auto popup = [this](const char* source) {
        QMenu* menu = menuBar_->addMenu(QString());
        window_access::Adopt(menu->menuAction());
        retranslators_.push_back([menu, source] { menu->setTitle(tr(source, "menu")); });
        return menu;
    };
    auto item = [this](QMenu* menu, int id, const char* source, const char* shortcut,
                       void (CTarvexDlg::*handler)()) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("a%1").arg(id));
        action->setData(id);
        if (shortcut) {
            // The accelerator table: Ctrl+O, Ctrl+S, Ctrl+R and Ctrl+W, for the whole window.
            action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        connect(action, &QAction::triggered, this, [this, handler] { (Dialog().*handler)(); });
        retranslators_.push_back([action, source] { action->setText(tr(source, "menu")); });
        menu->addAction(action);
        window_access::Adopt(action);
        actions_[id] = action;
        return action;
    };

    QMenu* file = popup(QT_TR_NOOP("&File"));
    item(file, ids::FileInitialize, QT_TR_NOOP("&Initialize..."), nullptr,
         &CTarvexDlg::OnFileInitialize);
    file->addSeparator();
    item(file, ids::FileOpen, QT_TR_NOOP("&Open..."), "Ctrl+O", &CTarvexDlg::OnFileOpen);
    item(file, ids::FileRestore, QT_TR_NOOP("&Restore Previous Settings…"), nullptr,
         &CTarvexDlg::OnFileRestore);
    file->addSeparator();
    item(file, ids::FileSave, QT_TR_NOOP("&Save"), "Ctrl+S", &CTarvexDlg::OnFileSave);
    item(file, ids::FileSaveAs, QT_TR_NOOP("Save &As..."), nullptr, &CTarvexDlg::OnFileSaveAs);
    file->addSeparator();
    BuildRecentMenu(file);
    file->addSeparator();
    // Alt+F4 is the window manager's close, which reaches OnCancel; the item only names it.
    item(file, ids::AppExit, QT_TR_NOOP("E&xit\tAlt+F4"), nullptr, &CTarvexDlg::OnExit);

    QMenu* connection = popup(QT_TR_NOOP("&Connect"));
    item(connection, ids::ConnectRead, QT_TR_NOOP("&Read"), "Ctrl+R", &CTarvexDlg::OnRead);
    item(connection, ids::ConnectWrite, QT_TR_NOOP("&Write"), "Ctrl+W", &CTarvexDlg::OnWrite);

    QMenu* help = popup(QT_TR_NOOP("&Help"));
    item(help, ids::AppAbout, QT_TR_NOOP("&About"), nullptr, &CTarvexDlg::OnAbout);
}

void QtTarvexWindow::RetranslateUi() {
    for (const auto& apply : retranslators_) apply();
}

// ---- Construction ------------------------------------------------------------------------

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

const QString kRecentKey = QStringLiteral("recentFiles");

// The user's settings of the program (~/.config/tarvex/tarvex.conf on Linux).
std::unique_ptr<QSettings> UserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("tarvex"), QStringLiteral("tarvex"));
}

bool HaveGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// The local paths a drag carries (empty for an item that is not a local file), or nothing
// when it is not taken at all: a drag is taken only as a copy, so that a drag that offers
// to move the file only is refused and the source never deletes it.
std::optional<std::vector<std::string>> DraggedPaths(const QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime == nullptr || !mime->hasUrls() || !(event->possibleActions() & Qt::CopyAction))
        return std::nullopt;
    std::vector<std::string> paths;
    for (const QUrl& url : mime->urls())
        paths.push_back(url.isLocalFile() ? ToUtf8(url.toLocalFile()) : std::string());
    return paths;
}

std::optional<std::string> DraggedSettingsFile(const QDropEvent* event) {
    const auto paths = DraggedPaths(event);
    if (!paths) return std::nullopt;
    return CTarvexDlg::DroppedSettingsFile(*paths);
}

}  // namespace

QtTarvexWindow::QtTarvexWindow(TBX3& adapter) : QtTarvexWindow(adapter, Services{}) {}

QtTarvexWindow::QtTarvexWindow(TBX3& adapter, Services services, QWidget* parent)
    : QDialog(parent),
      messages_(services.messages ? services.messages : &QtMessageService()),
      files_(services.files ? services.files : &QtFileChooser()) {
    window_resources::Init();
    // The design's name, for tests and accessibility tools.
    setObjectName(QStringLiteral("CTarvexDlg"));
    icon = QIcon(QString::fromLatin1(window_resources::kIconPath));
    // The accelerators are the menu actions' shortcuts.
    BuildWindow();
    BuildMenu();
    AcceptSettingsFileDrops();
    RetranslateUi();
    dlg_ = std::make_unique<CTarvexDlg>(adapter, *this);
}

QtTarvexWindow::~QtTarvexWindow() {
    // No frame may go out once the window is gone, and no handler may run on half a window.
    dlg_.reset();
    SetWaitCursor(false);
}

bool QtTarvexWindow::OnInitDialog() {
    setWindowIcon(icon);
    if (!dlg_->OnInitDialog()) return false;
    // The designed size (491 x 353 dialog units), or more when the captions need it.
    resize(sizeHint().expandedTo(QSize(980, 640)));
    return true;
}

// ---- Access -------------------------------------------------------------------------------

QWidget* QtTarvexWindow::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QAction* QtTarvexWindow::Action(int commandId) const {
    const auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

QSlider* QtTarvexWindow::Slider(int id) const {
    return qobject_cast<QSlider*>(Control(id));
}

QLineEdit* QtTarvexWindow::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}

void QtTarvexWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) RetranslateUi();
    QDialog::changeEvent(event);
}

// ---- The controls ---------------------------------------------------------------------------

void QtTarvexWindow::SetText(int id, const std::string& text) {
    QLineEdit* edit = Edit(id);
    if (edit == nullptr) return;
    const QString value = FromUtf8(text);
    const bool changed = edit->text() != value;
    edit->setText(value);
    // A new prompt is spoken at once, wherever the focus is.
    if (id == ids::Status && changed) window_access::AnnounceStatus(edit);
}

std::string QtTarvexWindow::GetText(int id) const {
    if (const QLineEdit* edit = Edit(id)) return ToUtf8(edit->text());
    return {};
}

void QtTarvexWindow::SetNumber(int id, int value) {
    SetText(id, std::to_string(value));
}

int QtTarvexWindow::GetNumber(int id) const {
    if (const QLineEdit* edit = Edit(id)) return edit->text().trimmed().toInt();
    return 0;
}

void QtTarvexWindow::SetCheck(int id, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    if (button == nullptr) return;
    // setChecked emits no click, so no handler runs.
    const QSignalBlocker block(button);
    button->setChecked(checked);
}

bool QtTarvexWindow::GetCheck(int id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
}

void QtTarvexWindow::SetRadio(int firstId, int lastId, int checkedId) {
    const auto it = radioGroups_.find(firstId);
    if (it == radioGroups_.end()) return;
    QButtonGroup* group = it->second;
    if (checkedId >= firstId && checkedId <= lastId) {
        if (QAbstractButton* button = group->button(checkedId - firstId)) {
            button->setChecked(true);
            return;
        }
    }
    // No button for this id: none is checked, as the platform shows a radio value that
    // matches no button.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

void QtTarvexWindow::SetEnabled(int id, bool enabled) {
    if (QWidget* control = Control(id)) {
        control->setEnabled(enabled);
    } else if (QAction* action = Action(id)) {
        // A disabled action's shortcut (Ctrl+W) does nothing, like a grayed item's
        // accelerator.
        action->setEnabled(enabled);
    }
}

void QtTarvexWindow::SetReadOnly(int id, bool readOnly) {
    if (QLineEdit* edit = Edit(id)) edit->setReadOnly(readOnly);
}

void QtTarvexWindow::SetTrackbarRange(int id, int minimum, int maximum, int tick) {
    QSlider* slider = Slider(id);
    if (slider == nullptr) return;
    const QSignalBlocker block(slider);
    slider->setRange(minimum, maximum);
    slider->setTickInterval(tick);
    slider->setTickPosition(QSlider::TicksAbove);
    slider->setSingleStep(1);
    slider->setPageStep(tick);
}

void QtTarvexWindow::SetTrackbarPos(int id, int position) {
    QSlider* slider = Slider(id);
    if (slider == nullptr) return;
    const QSignalBlocker block(slider);
    slider->setValue(position);
}

int QtTarvexWindow::GetTrackbarPos(int id) const {
    const QSlider* slider = Slider(id);
    return slider != nullptr ? slider->value() : 0;
}

void QtTarvexWindow::SetListItems(int id, const std::vector<std::string>& items) {
    auto* list = qobject_cast<QComboBox*>(Control(id));
    if (list == nullptr) return;
    const QSignalBlocker block(list);
    list->clear();
    for (const std::string& item : items) list->addItem(FromUtf8(item));
    list->setCurrentIndex(-1);
}

void QtTarvexWindow::SetListSelection(int id, int index) {
    auto* list = qobject_cast<QComboBox*>(Control(id));
    if (list == nullptr) return;
    // setCurrentIndex does not activate: no handler runs.
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int QtTarvexWindow::GetListSelection(int id) const {
    const auto* list = qobject_cast<const QComboBox*>(Control(id));
    return list != nullptr ? list->currentIndex() : -1;
}

void QtTarvexWindow::SetFocus(int id) {
    QWidget* control = Control(id);
    if (control == nullptr) return;
    control->setFocus(Qt::OtherFocusReason);
    if (QLineEdit* edit = Edit(id)) edit->selectAll();
}

// ---- The window as a whole ---------------------------------------------------------------------

void QtTarvexWindow::SetWaitCursor(bool on) {
    if (on == waitCursor_ || !HaveGuiApplication()) return;
    waitCursor_ = on;
    if (on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void QtTarvexWindow::Beep() {
    messages_->Beep();
}

void QtTarvexWindow::EndDialog(DialogResult result) {
    if (result == DialogResult::Ok)
        QDialog::accept();
    else
        QDialog::reject();
}

void QtTarvexWindow::SetTitle(const std::string& title, TitleMarker marker) {
    if (marker == TitleMarker::None) {
        setWindowModified(false);
        setWindowTitle(FromUtf8(title));
        return;
    }
    QString text = FromUtf8(title);
    text.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));  // a literal "[*]"
    setWindowTitle(text + QLatin1String("[*]"));
    setWindowModified(marker == TitleMarker::Modified);
}

void QtTarvexWindow::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

// ---- Services ------------------------------------------------------------------------------

MessageAnswer QtTarvexWindow::ShowMessage(int id, const std::string& text, MessageIcon icon_,
                                          MessageButtons buttons) {
    return messages_->Show(this, id, FromUtf8(text), icon_, buttons);
}

std::optional<std::string> QtTarvexWindow::ChooseOpenFile(const std::string& folder) {
    const std::optional<QString> chosen = files_->ChooseOpen(this, FromUtf8(folder));
    if (!chosen) return std::nullopt;
    return ToUtf8(*chosen);
}

std::optional<std::string> QtTarvexWindow::ChooseSaveAsFile() {
    const std::optional<QString> chosen = files_->ChooseSaveAs(this);
    if (!chosen) return std::nullopt;
    return ToUtf8(*chosen);
}

void QtTarvexWindow::PostToDialogThread(std::function<void()> call) {
    // Qt drops the call if the window is destroyed first.
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

std::vector<std::string> QtTarvexWindow::LoadRecentFiles() {
    std::vector<std::string> files;
    for (const QString& file : UserSettings()->value(kRecentKey).toStringList())
        files.push_back(ToUtf8(file));
    return files;
}

void QtTarvexWindow::SaveRecentFiles(const std::vector<std::string>& paths) {
    QStringList files;
    for (const std::string& path : paths) files << FromUtf8(path);
    UserSettings()->setValue(kRecentKey, files);
}

std::string QtTarvexWindow::LoadString(int id) {
    switch (id) {
        case ids::ParseUint:
            return ToUtf8(tr("Please enter a positive integer."));
        case ids::ParseIntRange:
            return ToUtf8(tr("Please enter an integer between %1 and %2."));
        default:
            return ToUtf8(strings::text(id));
    }
}

// ---- Recent list
// ---------------------------------------------------------------------------------

void QtTarvexWindow::BuildRecentMenu(QMenu* file) {
    for (int i = 0; i < CTarvexDlg::kRecentFiles; ++i) {
        auto* action = new QAction(this);
        const int id = ids::FileRecent1 + i;
        action->setObjectName(QStringLiteral("a%1").arg(id));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, i] { Dialog().OnRecentFile(i); });
        file->addAction(action);
        actions_[id] = action;
    }
    file->setToolTipsVisible(true);
    // Another Tarvex may have changed the list since.
    connect(file, &QMenu::aboutToShow, this, [this] { Dialog().UpdateRecentMenu(); });
    retranslators_.push_back([this] { SetRecentMenu(recentItems_); });
}

void QtTarvexWindow::SetRecentMenu(const std::vector<RecentMenuItem>& items) {
    recentItems_ = items;
    for (int i = 0; i < CTarvexDlg::kRecentFiles; ++i) {
        QAction* action = Action(ids::FileRecent1 + i);
        if (static_cast<std::size_t>(i) >= items.size()) {
            // An empty list shows one grayed "Recent File" item.
            action->setVisible(i == 0);
            action->setEnabled(false);
            action->setText(tr("Recent File", "menu"));
            action->setToolTip(QString());
            continue;
        }
        const RecentMenuItem& item = items[static_cast<std::size_t>(i)];
        action->setText(FromUtf8(item.text));
        action->setToolTip(FromUtf8(item.path));
        action->setEnabled(true);
        action->setVisible(true);
    }
}

// ---- Keys and closing --------------------------------------------------------------------------

void QtTarvexWindow::closeEvent(QCloseEvent* event) {
    // The close box, Alt+F4 and the window manager's close request. A close that
    // accept()/reject() themselves carry out never arrives here.
    if (Dialog().Closing() || !isVisible()) {
        // Either a check is already running (its own answer decides), or there is
        // nothing left to close.
        if (Dialog().Closing())
            event->ignore();
        else
            event->accept();
        return;
    }
    Dialog().OnCancel();
    if (isVisible())
        event->ignore();
    else
        event->accept();
}

void QtTarvexWindow::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers();
    const int key = event->key();
    if (event->matches(QKeySequence::Cancel)) {
        Dialog().OnCancel();
        return;
    }
    const bool isReturn =
        (key == Qt::Key_Return && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_Enter && (modifiers == Qt::NoModifier || modifiers == Qt::KeypadModifier));
    if (isReturn) {
        // Return presses the push button that has the focus (none is a default button);
        // anywhere else it is the OK command.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled()) button->click();
        } else {
            Dialog().OnOK();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Dropped files -----------------------------------------------------------------------------

void QtTarvexWindow::AcceptSettingsFileDrops() {
    setAcceptDrops(true);
    // A line edit that takes text would take a file's path as text instead.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);
}

void QtTarvexWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void QtTarvexWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (DraggedSettingsFile(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void QtTarvexWindow::dropEvent(QDropEvent* event) {
    const std::optional<std::vector<std::string>> paths = DraggedPaths(event);
    if (!paths || !CTarvexDlg::DroppedSettingsFile(*paths)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Opened once the drag has ended, so a message box does not hold up the file manager.
    QMetaObject::invokeMethod(
        this, [this, files = *paths] { Dialog().OnDropFiles(files); }, Qt::QueuedConnection);
}

bool QtTarvexWindow::eventFilter(QObject* watched, QEvent* event) {
    // Files dragged over a line edit are the window's to take or refuse; dragged text stays
    // the line edit's.
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
        if (type == QEvent::Drop)
            dropEvent(static_cast<QDropEvent*>(event));
        else
            dragMoveEvent(static_cast<QDragMoveEvent*>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
