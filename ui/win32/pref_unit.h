#pragma once

#include "PreferencesHost.h"
#include "WindowPlacement.h"

#include "program/Preferences.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The preferences dialog: modeless, fixed in size, where the user chooses the recorder model, the
// port and its speed, the recorder ID, the language and the two switches. It edits nothing itself:
// OK saves through the host, which then applies the settings. Its controls keep their designed
// places in logical pixels and are scaled to the screen the dialog is on.
class Tpref_frm {
public:
    explicit Tpref_frm(PreferencesHost& host);
    ~Tpref_frm();
    Tpref_frm(const Tpref_frm&) = delete;
    Tpref_frm& operator=(const Tpref_frm&) = delete;

    HWND window() const { return window_; }
    bool visible() const { return IsWindowVisible(window_) != FALSE; }
    // The dialog's keys (Tab, Enter, Escape); true when the message was the dialog's.
    bool IsDialogMessage(MSG& message);

    void OpenPreferences(LoadResult reason);
    void fill(const Preferences::Values& values);
    Preferences::Values values() const;
    // Sets the target of a language-pack line (1 to 13); other lines are not the dialog's.
    void applyPackLine(int line, const std::string& text);
    void HighlightVendor();

    void OK_bClick();
    void cancel_bClick();

    HWND Label1, grp_lang_type, lang_select_cmb, grp_hard_type, dvr_type_cmb;
    HWND frm_brw, frm_calvo, frm_dm, frm_fn;
    HWND grp_connect_type, lbl_port, port_cmb, lbl_baudrate, baudrate_cmb;
    HWND grp_id, lbl_id_help, id_byte_ed, grp_others, hints_enable_chk, always_ontop_chk;
    HWND OK_b, cancel_b;

private:
    // Labels are as large as their texts, from their designed corner.
    enum class Look { Normal, FixedFont, FitsText };
    // A control and its designed place within the dialog's client area.
    struct Placed {
        HWND control;
        RECT logical;
        Look look;
    };

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow();
    void createControls();
    void createVendorLabels();
    void createHints();
    HWND add(const wchar_t* className, const wchar_t* text, DWORD style, RECT logical, int id = 0,
             Look look = Look::Normal);
    HWND addLabel(const wchar_t* text, RECT group, int left, int top, DWORD style = 0);
    void place(const Placed& placed);
    SIZE textSize(HWND control) const;
    HWND addGroup(const wchar_t* text, RECT logical);
    void addHint(HWND control, const wchar_t* text);
    void scaleTo(UINT dpi);
    void makeFonts();
    void command(int id, int code, HWND control);
    void escapePressed();
    void close();
    void FormClose();
    void refreshPortList();
    void showPortHint(const std::string& name);
    void refuse(TextId text);
    int physical(int logical) const { return MulDiv(logical, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI); }

    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    PreferencesHost& host_;
    HWND window_ = nullptr;
    HWND hints_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    UniqueFont font_, boldFont_, fixedFont_;
    std::vector<Placed> placed_;
    std::vector<DiscoveredPort> ports_;
    std::wstring portHint_;
    HWND lastFocus_ = nullptr;
    // Only the dialog's corner is kept, as on Linux.
    TWindowStorage WindowStorage1{"Tpref_frm", false, true};
};
