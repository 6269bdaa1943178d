// The program's one window as behaviour: every adjustable setting of the gyro's record, the
// Read and Write commands, settings files and the servo limit procedure, with the design's
// state and handlers. It knows no toolkit: it reaches its window through DialogControls
// (the Qt window in ui/, later the native Windows window), which routes the user's actions
// to the handlers below.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The core first: on Windows it brings <windows.h>, whose LoadString macro
// DialogControls.h then takes back.
#include "gyro/KR640.h"
#include "gyro/StreamTimer.h"
#include "link/TBX3.h"
// clang-format off
#include "dialog/ControlIds.h"
#include "dialog/DialogControls.h"
// clang-format on

class CTarvexDlg {
  public:
    // The window must outlive the behaviour. Nothing reaches the window before OnInitDialog.
    CTarvexDlg(TBX3& adapter, DialogControls& window);
    ~CTarvexDlg();
    CTarvexDlg(const CTarvexDlg&) = delete;
    CTarvexDlg& operator=(const CTarvexDlg&) = delete;

    // ---- Start-up, About box --------------------------------------------------------
    // Fills the lists and the recent list, pushes the initial values, InitSliders,
    // EnableGyroCommands, ConnectAdapter, disables Position and Set. Returns false when the
    // connection failed and the dialog has already ended (the program then ends without
    // showing it).
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
    // True when the exit check (ConfirmUnwrittenData) would speak up now: the edited
    // record differs from the gyro's. Asks nothing and changes nothing (a browser page
    // asks before it is left).
    bool HasUnwrittenData() const;
    void OnOK();
    void OnCancel();
    void OnExit();
    // True while OnOK or OnCancel decides whether the window closes (a close request
    // arriving meanwhile is the running check's to answer).
    bool Closing() const noexcept { return closing_; }

    // ---- Settings files -------------------------------------------------------------------
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    // File > Open started in the backups folder (created when missing), newest first.
    void OnFileRestore();
    void ReadSettingsFile(const std::string& path);
    void WriteSettingsFile(const std::string& path);
    // What File > Open does with the chooser's answer.
    void OpenChosenFile(const std::optional<std::string>& chosen);
    // Open's steps once a path is chosen, for the chooser, the command line, a dropped file
    // and the recent list alike. A file that cannot be opened also leaves the recent list.
    void OpenSettingsFile(const std::string& path);

    // ---- The desktop: title, recent files, dropped files --------------------------------
    // "Tarvex", or "Tarvex - <file name>" with the modified marker while the window's values
    // differ from that file as it was last opened or saved.
    void UpdateTitle();
    // The files last opened or saved, most recent first (the user's settings).
    static constexpr int kRecentFiles = 4;
    std::vector<std::string> RecentFiles();
    void UpdateRecentMenu();
    void OnRecentFile(int index);
    // The items the recent list shows for files: the file name, or the full path where two
    // entries share a name, behind the item's number as its mnemonic.
    static std::vector<RecentMenuItem> RecentMenuItems(const std::vector<std::string>& files);
    // Which file a drop opens: exactly one local settings file (*.tcf, any case). Each entry
    // is a dropped item's local path, empty for an item that is not a local file.
    static std::optional<std::string> DroppedSettingsFile(const std::vector<std::string>& paths);
    // Opens what DroppedSettingsFile takes (the window calls this once the drag has ended).
    void OnDropFiles(const std::vector<std::string>& paths);
    // A settings file that came from elsewhere (a shared link, a file shared to the app):
    // one that loads opens as File > Open opens it; one that does not gives Open's message
    // and leaves the window as it was (no values, no path, no title changed).
    void OpenSharedFile(const std::string& path);

    // ---- Limit-point setting ------------------------------------------------------------
    void OnEnterClicked();
    void OnSetClicked();
    bool CheckLimitRange();
    bool CheckLimitSides();
    void StopLimitSetting();
    void OnStreamFailed();  // a bus-frame write failed on the timer thread

    // ---- Access -------------------------------------------------------------------------
    KR640& Gyro() noexcept { return gyro; }
    DialogControls& Window() const noexcept { return window_; }
    // Shows string-table message id in the window's language.
    MessageAnswer ShowMessage(int id, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok);
    // The string-table text of id with %1, %2, ... replaced by args.
    std::string Text(int id, const std::vector<std::string>& args = {}) const;

    // ---- Members ---------------------------------------------------------------------------
    TBX3& adapter;
    KR640 gyro;
    std::string filePath;
    bool hasFilePath = false;
    bool readFromGyro = false;
    std::uint32_t timerResolution = 0;
    StreamTimer streamTimer;  // the stream's periodic source (the design's timer id)
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
    std::string controlResponse1Label, controlResponse2Label;  // 1017, 1020
    std::string holdexResponse1Label, holdexResponse2Label;    // 1023, 1026
    std::string holdexResponse3Label, holdexResponse4Label;    // 1029, 1032
    std::string highLimitLabel, lowLimitLabel;                 // 1053, 1055
    std::string statusText;                                    // 1061

  private:
    DialogControls& window_;
    bool closing_ = false;
    bool connectionFailed_ = false;  // ConnectAdapter ended the dialog
    // The record the gyro held at the last successful Read (or verified Write): what the
    // next Write keeps as a backup first. Empty before the first Read.
    std::optional<ParameterRecord> gyroHeld_;
    // A Write failed after it began: the gyro may hold any mix of old and new pages until
    // the next successful Read or Write, so the closing check asks even when the records
    // agree.
    bool gyroContentsUnknown_ = false;
    // Keeps gyroHeld_ as a backup; false when that failed and the user chose not to write.
    bool BackUpBeforeWrite();

    // StopLimitSetting without reporting: false when the limit-mode-off frame failed.
    bool EndLimitSetting();
    // Position and Set disabled, Enter released, the Position slider at 1024 and
    // ReadSliders (the rudder channel becomes 1024).
    void ResetLimitControls();
    // Counts stream starts, so a failure posted by an earlier stream is not taken for the
    // running one's.
    std::uint64_t streamRun_ = 0;
    // The run whose stream failed, set on the timer thread: a failure the dialog thread
    // must see before its posted report would run (the second Set's pause).
    std::atomic<std::uint64_t> failedRun_{~std::uint64_t{0}};
    bool StreamFailedInThisRun() const noexcept { return failedRun_.load() == streamRun_; }

    // After a read or write of path: known, the file holds workingRecord and moves to the
    // top of the recent list; otherwise (gone or unreadable) what it holds is unknown and it
    // leaves the recent list.
    void NoteFileContent(const std::string& path, bool known);
    struct FileContent {
        std::string path;
        ParameterRecord record;
    };
    std::optional<FileContent> fileContent_;
};
