#include "properties_dialog.h"

#include "decoder/decode_mode.h"
#include "module_state.h"
#include "resource.h"
#include "settings_store.h"

#include <cstdint>

namespace {

// Button of a mode: 1002 + mode in 32-bit arithmetic. A mode other than 0
// and 1 names no button of the group, so neither is selected.
int ModeButton(std::int32_t mode)
{
    return static_cast<int>(static_cast<std::uint32_t>(IDC_CHAR_REF) + static_cast<std::uint32_t>(mode));
}

void ShowStoredMode(HWND dialog)
{
    LoadSettings();
    CheckRadioButton(dialog, IDC_CHAR_REF, IDC_UCN, ModeButton(DecodeMode));
}

// Only the second button is asked: with neither selected, mode 0 is stored.
void StoreSelectedMode(HWND dialog)
{
    const auto chosen = IsDlgButtonChecked(dialog, IDC_UCN) != 0 ? DecodeMode::Ucn : DecodeMode::CharRef;
    DecodeMode = static_cast<std::int32_t>(chosen);
    SaveSettings();
}

}  // namespace

INT_PTR CALLBACK PropertiesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        ShowStoredMode(dialog);
        return TRUE;  // the system sets the focus
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            StoreSelectedMode(dialog);
            EndDialog(dialog, IDOK);
            break;
        case IDCANCEL:  // also Esc and the close box
            EndDialog(dialog, IDCANCEL);
            break;
        default:
            break;
        }
    }
    return FALSE;
}
