#pragma once

#include "model/LoadResult.h"
#include "program/Preferences.h"
#include "settings/PreferencesHost.h"
#include "settings/WindowPlacement.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The preferences dialog: modeless, fixed in size, where the user chooses the recorder model, the
// port and its speed, the recorder ID, the language and the two switches. It edits nothing itself:
// OK saves through the host, which then applies the settings.
class Tpref_frm : public QWidget {
public:
    explicit Tpref_frm(PreferencesHost& host);
    ~Tpref_frm() override;

    void OpenPreferences(LoadResult reason);
    void fill(const Preferences::Values& values);
    Preferences::Values values() const;
    // Sets the target of a language-pack line (1 to 13), given as it is to be shown; other lines
    // are not the dialog's.
    void applyPackLine(int line, const QString& shown);

    // The switch keeps its stored value but cannot be changed; the hint says why.
    void setAlwaysOnTopUnavailable(const QString& why);

    static bool IsValidDeviceType(const QString& text);
    static bool IsValidIdText(const QString& text);
    void HighlightVendor();

    QLabel* Label1;
    QGroupBox* grp_lang_type;
    QComboBox* lang_select_cmb;
    QGroupBox* grp_hard_type;
    QComboBox* dvr_type_cmb;
    QLabel *frm_brw, *frm_calvo, *frm_dm, *frm_fn;
    QGroupBox* grp_connect_type;
    QLabel* lbl_port;
    QComboBox* port_cmb;
    QLabel* lbl_baudrate;
    QComboBox* baudrate_cmb;
    QGroupBox* grp_id;
    QLabel* lbl_id_help;
    QLineEdit* id_byte_ed;
    QGroupBox* grp_others;
    QCheckBox* hints_enable_chk;
    QCheckBox* always_ontop_chk;
    QPushButton* OK_b;
    QPushButton* cancel_b;

    void OK_bClick();
    void cancel_bClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createVendorLabels();
    void setTabOrder();
    void watchKeys();
    void refreshPortList();
    void showPortHint();
    void refuse(TextId text);

    PreferencesHost& host_;
    TWindowStorage WindowStorage1;
};
