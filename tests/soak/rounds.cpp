// KORVEN's own dialogs and commands opened and closed many times in one process, measured every few rounds:
//   soak_rounds KIND ROUNDS [EVERY [HOLD_MS]]     KIND: version | capital | colour | scatter
// HOLD_MS: how long each dialog stays open (30 ms unless given); a few hundred lets it be drawn and focused.
// The same 47 pieces as the in-process suites; each dialog is closed from a timer inside its modal loop the
// way a user would close it (OK, ｷｬﾝｾﾙ, the colour dialog's Cancel). Compare with soak_baseline, which opens
// the same system dialog, and a plain one, without any of KORVEN's code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "core/app_state.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "pieces/color_chooser.h"
#include "pieces/frm_data.h"
#include "tests/soak/measure.h"
#include "tests/win/piece_fixture.h"

using namespace korven;
using namespace korven::test;

namespace {

// One opening and closing; false when the dialog did not show.
bool Round(const std::string& kind, int holdMs) {
    bool shown = false;
    if (kind == "version") {
        Later(holdMs, [&] {
            HWND d = VersionDialogWindow();
            shown = d != nullptr;
            if (d) Click(d, L"OK");
        });
        mver_Click();
    } else if (kind == "capital") {
        Later(holdMs, [&] {
            HWND d = CapitalDialogWindow();
            shown = d != nullptr;
            if (d) Click(d, L"ｷｬﾝｾﾙ");
        });
        OpenCapitalDialog(P(14));
    } else if (kind == "colour") {
        // The system dialog takes a while to appear: look again until it is there.
        std::function<void()> cancel = [&] {
            if (HWND d = OwnedDialog(P(3).hwnd())) {
                shown = true;
                PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
            } else {
                Later(30, cancel);
            }
        };
        Later(30, cancel);
        PickColor(P(3).hwnd(), 0x00FFFFFF);
    } else if (kind == "scatter") {
        mban_Click();
        mgo_Click();
        shown = true;
    }
    CancelLater();
    PumpFor(10);
    return shown;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_rounds version|capital|colour|scatter ROUNDS [EVERY [HOLD_MS]]\n");
        return 2;
    }
    std::wstring w = argv[1];
    const std::string kind(w.begin(), w.end());
    const int rounds = _wtoi(argv[2]);
    const int every = argc > 3 ? std::max(1, _wtoi(argv[3])) : 10;
    const int hold = argc > 4 ? std::max(1, _wtoi(argv[4])) : 30;
    RemoveIni();
    BuildPieces();
    soak::Print(kind.c_str(), 0, soak::Take());
    int missed = 0;
    for (int r = 1; r <= rounds; ++r) {
        if (!Round(kind, hold)) ++missed;
        if (r % every == 0 || r == rounds) soak::Print(kind.c_str(), r, soak::Take());
    }
    std::printf("%s: %d rounds, %d without a dialog\n", kind.c_str(), rounds, missed);
    RemoveIni();
    return missed ? 1 : 0;
}
