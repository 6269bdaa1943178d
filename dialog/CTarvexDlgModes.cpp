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
    std::array<bool, ids::Analog - ids::F3C + 1> clicked{};
    for (int id = ids::F3C; id <= ids::Analog; ++id) clicked[id - ids::F3C] = window_.GetCheck(id);
    // Asked on every click, the already selected radio included.
    if (ShowMessage(107, MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes) {
        for (int id = ids::F3C; id <= ids::Analog; ++id)
            window_.SetCheck(id, clicked[id - ids::F3C]);
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
