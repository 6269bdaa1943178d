// The program's one window: every adjustable setting of the gyro's record, the Read and
// Write commands, settings files and the servo limit procedure.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "gyro/KR640.h"
#include "gyro/StreamTimer.h"
#include "link/TBX3.h"
#include "dialog/ControlIds.h"
#include "ui/Services.h"

class QAbstractButton;
class QAction;
class QButtonGroup;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;

class CTarvexDlg : public QDialog {
    Q_OBJECT

  public:
    struct Services {
        MessageService* messages = nullptr;  // null: Qt's message boxes
        FileChooser* files = nullptr;        // null: Qt's file dialogs
    };

    // Two constructors instead of a default argument "Services services = {}": a nested
    // struct with member initialisers cannot be a default argument inside its own class.
    explicit CTarvexDlg(TBX3& adapter = g_adapter);
    CTarvexDlg(TBX3& adapter, Services services, QWidget* parent = nullptr);
    ~CTarvexDlg() override;

    // ---- Start-up, About box --------------------------------------------------------
    // Fills the lists, pushes the initial values, InitSliders, EnableGyroCommands,
    // ConnectAdapter, disables Position and Set. Returns false when the connection failed
    // and the dialog has already ended (the program then ends without showing it).
    bool OnInitDialog();
    void ConnectAdapter();
    void EnableGyroCommands(bool enable);
    void OnAbout();

    // ---- Transfers between the record and the window ----------------------------------
    void RefreshFromImage();  // image to values, values to controls
    void PlaceSliders();      // values to slider positions, values to controls
    void StoreToImage();      // controls to values, values to image, UpdateDirectionLabels
    void ReadSliders();       // slider positions to values, rudder channel, values to controls
    void InitSliders();
    static int SliderToLimitRaw(int position);
    void UpdateDirectionLabels();
    void ValuesToControls();  // the data exchange, members to controls
    // The data exchange, controls to members. The ID box is validated; on a bad text the
    // validation message is shown, the focus goes to the ID box, every member keeps its
    // previous value and false is returned.
    bool ControlsToValues();
    void OnSliderScroll();  // any user movement of any slider: ReadSliders, StoreToImage

    // ---- Mode changes and Initialize ---------------------------------------------------
    void OnChannelSelected();
    void OnGyroReverseClicked();
    void OnResponseModeClicked();
    void OnMountingClicked();
    void OnNotUsingIdClicked();
    void OnModeChangeClicked();  // any of 1005-1009, the selected one included
    void OnFileInitialize();

    // ---- Gyro commands and closing ------------------------------------------------------
    void OnRead();
    void OnWrite();
    void ReadGyro();
    bool WriteGyro();  // true when the write was verified
    // The unwritten-data check; false only when the user chose to write and the write
    // failed (or was called off because its backup failed), so the window must stay open
    // with the edits.
    bool ConfirmUnwrittenData();
    void OnOK();
    void OnCancel();
    void OnExit();

    // ---- Settings files -------------------------------------------------------------------
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    // File > Open started in the backups folder (created when missing), newest first.
    void OnFileRestore();
    void ReadSettingsFile(const QString& path);
    void WriteSettingsFile(const QString& path);
    // What File > Open does with the chooser's answer.
    void OpenChosenFile(const std::optional<QString>& chosen);
    // Open's steps once a path is chosen, for the chooser, the command line, a dropped file
    // and the recent list alike. A file that cannot be opened also leaves the recent list.
    void OpenSettingsFile(const QString& path);

    // ---- The desktop: title, recent files, dropped files --------------------------------
    // "Tarvex", or "Tarvex - <file name>" with the modified marker while the window's values
    // differ from that file as it was last opened or saved.
    void UpdateTitle();
    // The files last opened or saved, most recent first (the user's settings).
    static constexpr int kRecentFiles = 4;
    static QStringList RecentFiles();
    void UpdateRecentMenu();
    void OnRecentFile(int index);

    // ---- Limit-point setting ------------------------------------------------------------
    void OnEnterClicked();
    void OnSetClicked();
    bool CheckLimitRange();
    bool CheckLimitSides();
    void StopLimitSetting();

    // ---- Access for the application and tests -------------------------------------------
    KR640& Gyro() noexcept { return gyro; }
    QWidget* Control(int id) const;        // by control id
    QAction* Action(int commandId) const;  // menu commands by command id
    MessageService& Messages() const noexcept { return *messages_; }
    FileChooser& Files() const noexcept { return *files_; }
    // Shows string-table message id (text from the chosen language).
    MessageAnswer ShowMessage(int id, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok);

    // ---- Members ---------------------------------------------------------------------------
    TBX3& adapter;
    KR640 gyro;
    QString filePath;
    bool hasFilePath = false;
    bool readFromGyro = false;
    std::uint32_t timerResolution = 0;
    StreamTimer streamTimer;  // the stream's periodic source (the design's timer id)
    QIcon icon;
    std::uint16_t limitPointA = 0;
    std::uint16_t limitPointB = 0;
    int limitStep = 0;

    // One value per exchanged control, named after what it holds (control id in the comment).
    int gyroId = 0;                  // 1001, the ID box
    int notUsingId = 0;              // 1002, "Not using ID"
    int rudderChannelIndex = 0;      // 1003
    int gainChannelIndex = 0;        // 1004
    int flightModeIndex = 0;         // 1005/1006 radio index (0 F3C, 1 3D)
    int servoModeIndex = 0;          // 1007-1009 radio index
    int gyroReverseIndex = 0;        // 1010/1011 radio index
    int mounting = 0;                // 1012/1013, window state only
    int responseModeIndex = 0;       // 1014-1016 radio index, -1 when none is checked
    int controlResponseRight = 0;    // 1018
    int controlResponseLeft = 0;     // 1021
    int holdexResponseRightIn = 0;   // 1024
    int holdexResponseRightOut = 0;  // 1027
    int holdexResponseLeftIn = 0;    // 1030
    int holdexResponseLeftOut = 0;   // 1033
    int expNormal = 0;               // 1035
    int expHoldex = 0;               // 1037
    int holdexYawRatePercent = 0;    // 1039, percent of the mode's base rate
    int holdexGain = 0;              // 1041
    int holdexRange = 0;             // 1043
    int dGain = 0;                   // 1045
    int dDamping = 0;                // 1047
    int baseGain = 0;                // 1049
    int limitHighPercent = 0;        // 1054
    int limitLowPercent = 0;         // 1056
    int positionPercent = 0;         // 1057
    int pirouetteSetting = 0;        // 1062, pirouette consistency 1..10
    int enterPressed = 0;            // 1051
    // The direction texts of the label boxes, by row.
    QString controlResponse1Label, controlResponse2Label;  // 1017, 1020
    QString holdexResponse1Label, holdexResponse2Label;    // 1023, 1026
    QString holdexResponse3Label, holdexResponse4Label;    // 1029, 1032
    QString highLimitLabel, lowLimitLabel;                 // 1053, 1055
    QString statusText;                                    // 1061

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A settings file (one local *.tcf) dropped anywhere on the window opens as File > Open
    // opens it; anything else is refused.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    void BuildMenu();
    void OnStreamFailed();  // a bus-frame write failed on the timer thread

    MessageService* messages_;
    FileChooser* files_;
    std::map<int, QWidget*> controls_;
    std::map<int, QAction*> actions_;
    QMenuBar* menuBar_ = nullptr;
    bool closing_ = false;
    // The record the gyro held at the last successful Read (or verified Write): what the
    // next Write keeps as a backup first. Empty before the first Read.
    std::optional<ParameterRecord> gyroHeld_;
    // Keeps gyroHeld_ as a backup; false when that failed and the user chose not to write.
    bool BackUpBeforeWrite();

    // ---- Window helpers (ui-window) ------------------------------------------------------
    // The captions, menu texts and accessible names in the installed language; run when the
    // window is built and on every language change.
    void RetranslateUi();
    QSlider* Slider(int id) const;
    QLineEdit* Edit(int id) const;
    static void SetRadio(QButtonGroup* group, int index);  // -1 or no such index: none checked
    // Each sets one caption, menu text or accessible name from tr(); RetranslateUi runs them.
    std::vector<std::function<void()>> retranslators_;
    QButtonGroup* flightGroup_ = nullptr;    // 1005, 1006
    QButtonGroup* servoGroup_ = nullptr;     // 1007-1009
    QButtonGroup* reverseGroup_ = nullptr;   // 1010, 1011
    QButtonGroup* mountingGroup_ = nullptr;  // 1012, 1013
    QButtonGroup* responseGroup_ = nullptr;  // 1014-1016
    bool connectionFailed_ = false;          // ConnectAdapter ended the dialog

    // ---- Limit procedure helpers (ui-commands) ------------------------------------------
    // StopLimitSetting without reporting: false when the limit-mode-off frame failed.
    bool EndLimitSetting();
    // Position and Set disabled, Enter released, the Position slider at 1024 and
    // ReadSliders (the rudder channel becomes 1024).
    void ResetLimitControls();
    // Counts stream starts, so a failure posted by an earlier stream is not taken for the
    // running one's.
    std::uint64_t streamRun_ = 0;

    // ---- Desktop helpers (ui-desktop) ------------------------------------------------------
    void BuildRecentMenu(QMenu* file);  // the recent list's items, commands 57616-57619
    void AcceptSettingsFileDrops();
    // After a read or write of path: known, the file holds workingRecord and moves to the
    // top of the recent list; otherwise (gone or unreadable) what it holds is unknown and it
    // leaves the recent list.
    void NoteFileContent(const QString& path, bool known);
    struct FileContent {
        QString path;
        ParameterRecord record;
    };
    std::optional<FileContent> fileContent_;
};
