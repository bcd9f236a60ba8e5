#pragma once

#include "settings/ProfileFile.h"

#include <QFlags>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

// Where the windows' positions are kept: $XDG_CONFIG_HOME (else ~/.config), then "lumevanta/" and
// the program file's name with ".INI" for its extension.
QString defaultPlacementFile();

// Remembers where a top-level form was between runs, in the form's own section of a placement file.
// The form's placement is restored when it is first shown (before it appears on the screen) and saved
// when it is closed, or when it is destroyed while still open. It is also saved once the form comes to
// rest after being moved, so an end that runs no destructors (the display gone) loses no place. The
// owner keeps this object alive no longer than the form and calls formDestroying() from the form's
// destructor.
class TWindowStorage : public QObject {
public:
    enum Option {
        State = 0x1,    // normal, minimized or maximized
        Position = 0x2, // the top-left corner; the size always stays the form's own
    };
    Q_DECLARE_FLAGS(Options, Option)

    // How long after its last move a form counts as at rest: a drag writes once, not at every step.
    static constexpr int RestDelayMs = 600;

    // An empty filePath means defaultPlacementFile(); section is the form's class name.
    TWindowStorage(QWidget& form, Options options, bool preventResize, QString filePath, QString section);
    ~TWindowStorage() override;

    // Saves with "Visible=1" unless the placement was saved since it was last restored.
    void formDestroying();

    bool restored() const { return restored_; }
    bool saved() const { return saved_; }
    const QString& filePath() const { return filePath_; }
    const QString& section() const { return section_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restore();
    void restorePosition();
    void restoreState();
    void save(bool visible);
    void writePlacement(bool visible);
    void moved();
    void cameToRest();
    ProfileFile placementFile() const;

    QPointer<QWidget> form_;
    Options options_;
    bool preventResize_;
    QString filePath_;
    QString section_;
    bool restored_ = false;
    bool saved_ = false;
    // The corner last read from or written to the file.
    QPoint storedPlace_;
    QTimer restTimer_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TWindowStorage::Options)
