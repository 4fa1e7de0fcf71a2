// The commands behind the popup's items: scatter, gather, position capture, version, exit.
#include <windows.h>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/dpi.h"
#include "core/layout.h"
#include "core/modal.h"
#include "core/notices.h"
#include "core/random_source.h"
#include "core/settings.h"
#include "menu/command_logic.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "menu/ignoring_errors.h"
#include "pieces/frm_map.h"

namespace korven {

namespace {

// Each step painted before the next one starts.
void PauseBetweenPieces() {
    Sleep(0);
    DoEvents();
}

IniWriteResult WriteEntries(const std::vector<IniEntry>& entries) {
    try {
        return WriteIniEntries(entries);
    } catch (...) {
        return IniWriteResult{false, L"予期しないエラーが発生しました。"};
    }
}

}  // namespace

void mban_Click() {
    const int n = static_cast<int>(Pieces.size());
    for (int i = 1; i <= n && i <= PrefCount; ++i) {
        const int k = PieceAtPlace(i - 1);
        if (k == AnchorPiece) continue;
        // Pieces go away only at shutdown; a scatter caught in one stops touching them.
        Piece* piece = PieceAt(k);
        if (!piece) continue;
        const int32_t w = piece->Width();
        const int32_t h = piece->Height();
        const int32_t screenW = ScreenTwips(GetSystemMetrics(SM_CXSCREEN));
        const int32_t screenH = ScreenTwips(GetSystemMetrics(SM_CYSCREEN));
        const int32_t x = ScatterCoordinate(NextRandom(), screenW, w);
        const int32_t y = ScatterCoordinate(NextRandom(), screenH, h);
        piece->Move(x, y);
        PauseBetweenPieces();
    }
}

void mgo_Click() {
    const int n = static_cast<int>(Pieces.size());
    for (int k = 1; k <= n; ++k) {
        if (k == AnchorPiece) continue;
        IgnoringErrors([k] {
            if (Piece* p = PieceAt(k)) p->pMove();
        });
    }
    for (int i = 1; i <= n && i <= PrefCount; ++i) {
        IgnoringErrors([i] {
            Piece* p = PieceAt(PieceAtPlace(i - 1));
            if (p && (!p->bx || !p->by)) p->mMove();
        });
        IgnoringErrors(PauseBetweenPieces);
    }
}

void mSave_Click() {
    std::vector<PieceSnapshot> pieces(static_cast<size_t>(PrefCount));
    for (int k = 1; k <= PrefCount; ++k) {
        IgnoringErrors([&pieces, k] {
            const Piece* p = PieceAt(k);
            if (!p || !p->ready) return;
            const TwipRect kc = p->KC();
            pieces[static_cast<size_t>(k - 1)] = {true, p->Left(), p->Top(), kc.left, kc.top};
        });
    }
    ReportWriteFailure(nullptr, WriteEntries(CaptureEntries(pieces)), SavedBy::Capture);
}

void mver_Click() { ShowVersionDialog(); }

IniWriteResult SaveExitState() {
    std::vector<IniEntry> entries;
    // Start-up sets the anchor up first; a piece it has not reached yet is still white, and writing that
    // would overwrite the colour stored for it.
    const Piece* anchor = PieceAt(AnchorPiece);
    if (anchor && anchor->ready) {
        std::vector<std::optional<uint32_t>> colours;
        for (int k = 1; k <= PrefCount; ++k) {
            const Piece* p = PieceAt(k);
            colours.push_back(p && p->ready ? std::optional<uint32_t>(p->BackColor()) : std::nullopt);
        }
        entries = ExitEntries(anchor->Left(), anchor->Top(), colours);
    }
    return WriteEntries(entries);
}

void mend_Click() {
    // Told before the program ends, so the user knows what was not kept.
    ReportWriteFailure(nullptr, SaveExitState(), SavedBy::Exit);
    SendMessageW(MenuWindow(), WM_CLOSE, 0, 0);
}

}  // namespace korven
