// The window's control ids, command ids and the string ids a window supplies itself. In the
// Qt window each control's object name is "c" followed by its id (for example "c1046") and
// each menu action's "a" followed by its command id, so tests and accessibility tools can
// find them.
#pragma once

namespace ids {
enum Control : int {
    IdBox = 1001,
    NotUsingId = 1002,
    RudderChannel = 1003,
    GainChannel = 1004,
    F3C = 1005,
    ThreeD = 1006,
    Digital1520 = 1007,
    Digital760 = 1008,
    Analog = 1009,
    GyroNormal = 1010,
    GyroReverse = 1011,
    UpperSide = 1012,
    BottomSide = 1013,
    Fast = 1014,
    Standard = 1015,
    Slow = 1016,
    // Label box, value box and slider triples of the response rows.
    ControlResponse1Label = 1017,
    ControlResponse1 = 1018,
    ControlResponse1Slider = 1019,
    ControlResponse2Label = 1020,
    ControlResponse2 = 1021,
    ControlResponse2Slider = 1022,
    HoldexResponse1Label = 1023,
    HoldexResponse1 = 1024,
    HoldexResponse1Slider = 1025,
    HoldexResponse2Label = 1026,
    HoldexResponse2 = 1027,
    HoldexResponse2Slider = 1028,
    HoldexResponse3Label = 1029,
    HoldexResponse3 = 1030,
    HoldexResponse3Slider = 1031,
    HoldexResponse4Label = 1032,
    HoldexResponse4 = 1033,
    HoldexResponse4Slider = 1034,
    ExpNormal = 1035,
    ExpNormalSlider = 1036,
    ExpHoldex = 1037,
    ExpHoldexSlider = 1038,
    YawRate = 1039,
    YawRateSlider = 1040,
    HoldexGain = 1041,
    HoldexGainSlider = 1042,
    Range = 1043,
    RangeSlider = 1044,
    DGain = 1045,
    DGainSlider = 1046,
    DDamping = 1047,
    DDampingSlider = 1048,
    BaseGain = 1049,
    BaseGainSlider = 1050,
    Enter = 1051,
    Set = 1052,
    HighLimitLabel = 1053,
    HighLimit = 1054,
    LowLimitLabel = 1055,
    LowLimit = 1056,
    Position = 1057,
    PositionSlider = 1058,
    ReadButton = 1059,
    WriteButton = 1060,
    Status = 1061,
    Pirouette = 1062,
    PirouetteSlider = 1063,
};

enum Command : int {
    FileInitialize = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    FileRecent1 = 57616,  // the recent list: 57616 to 57619
    AppAbout = 57664,
    AppExit = 57665,
    ConnectRead = 32771,
    ConnectWrite = 32772,
    FileRestore = 32781,  // Restore Previous Settings: File > Open in the backups folder
};
// Texts of the dialog framework rather than of the program's string table, which every
// window supplies through DialogControls::LoadString in its language (the ids are the
// framework's own: AFX_IDP_PARSE_UINT and AFX_IDP_PARSE_INT_RANGE).
enum FrameworkString : int {
    ParseUint = 0xF11A,      // "Please enter a positive integer."
    ParseIntRange = 0xF114,  // "Please enter an integer between %1 and %2."
};
}  // namespace ids
