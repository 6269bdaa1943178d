// Clicks on the radio buttons and the check box, list selections, the flight- and
// servo-mode changes and File > Initialize.
#include <array>

#include "dialog/CTarvexDlg.h"

void CTarvexDlg::OnChannelSelected() {
    StoreToImage();
}

void CTarvexDlg::OnGyroReverseClicked() {
    // The store ends with UpdateDirectionLabels, which also swaps the limit labels.
    StoreToImage();
}

void CTarvexDlg::OnResponseModeClicked() {
    StoreToImage();
}

void CTarvexDlg::OnMountingClicked() {
    // The mounting surface is window state only: the labels move, nothing is stored.
    ControlsToValues();
    UpdateDirectionLabels();
}

void CTarvexDlg::OnNotUsingIdClicked() {
    ControlsToValues();
    window_.SetReadOnly(ids::IdBox, notUsingId == 0);
    StoreToImage();
}

void CTarvexDlg::OnModeChangeClicked() {
    // The clicked mode, kept across the question: a failed limit stream handled while it
    // is open puts every value back into the controls, radios included.
    struct Group {
        int first, last, checked;
    };
    std::array<Group, 2> modes = {{{ids::F3C, ids::ThreeD, 0}, {ids::Digital1520, ids::Analog, 0}}};
    for (Group& g : modes)
        for (int id = g.first; id <= g.last; ++id)
            if (window_.GetCheck(id)) g.checked = id;
    // Asked on every click, the already selected radio included.
    if (ShowMessage(107, MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes) {
        for (const Group& g : modes) window_.SetRadio(g.first, g.last, g.checked);
        StoreToImage();
        applyModeTable(gyro.workingRecord);
    }
    // On No nothing was stored, so this also puts the radios back to the image's modes.
    RefreshFromImage();
    PlaceSliders();
}

void CTarvexDlg::OnFileInitialize() {
    if (ShowMessage(106, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    resetToDefaults(gyro.workingRecord);
    RefreshFromImage();
    PlaceSliders();
    UpdateDirectionLabels();
}
