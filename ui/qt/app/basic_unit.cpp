#include "app/basic_unit.h"

#include "app/ProgramIcon.h"
#include "app/SystemTrayHost.h"
#include "base/Messages.h"
#include "exchange/KeyExchangePort.h"
#include "panels/PanelForm.h"
#include "panels/PanelLayouts.h"
#include "panels/PanelParts.h"
#include "program/Preferences.h"
#include "program/StartOptions.h"
#include "settings/ConfigFolder.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/LinkTexts.h"
#include "settings/PackLines.h"
#include "settings/pref_unit.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QWindow>

Tbasic::Tbasic(DeviceOpener opener, std::unique_ptr<TrayHost> trayHost, QWidget* parent)
    : QWidget(parent), port1(std::move(opener)),
      exchange(
          port1, settings.IdByte, [this] { return ActivePanel(); },
          [this](LinkEvent event, const PortFailure& failure) { linkReported(event, failure); }),
      start_timer(this), basichide_timer(this), always_on_top_timer(this), panels_timer(this),
      tray(trayHost ? std::move(trayHost) : std::make_unique<SystemTrayHost>(), this),
      packFolder(LanguagePack::packFolder()) {
    // Until the user chooses, the program speaks the desktop's language; messages before the
    // options are read (pictures missing) already speak the stored one.
    settings.Language = DesktopLanguage::startLanguage();
    texts = ProgramTexts::forLanguage(settings.Language, packFolder);
    setWindowTitle(QStringLiteral("basic"));
    setEnabled(false);
    move(256, 325);
    Label1 = new QLabel(QStringLiteral("ЗАГРУЗКА \nПРИЛОЖЕНИЯ...."), this);
    QFont font = Label1->font();
    font.setPixelSize(19);
    font.setBold(true);
    font.setItalic(true);
    Label1->setFont(font);
    // Placed to the form's edge rather than sized to its text: measuring the text would load the fonts
    // before the panel could show, for a window that is hidden again at once. Drawn from the top left
    // corner, the text falls where a label sized to it would put it.
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(4, 4, 196, 96);
    applyStoredPortSettings();

    start_timer.setInterval(1);
    basichide_timer.setInterval(1);
    connect(&start_timer, &QTimer::timeout, this, &Tbasic::start_timerTimer);
    connect(&basichide_timer, &QTimer::timeout, this, &Tbasic::basichide_timerTimer);
    panels_timer.setSingleShot(true);
    connect(&panels_timer, &QTimer::timeout, this, &Tbasic::panels_timerTimer);
    always_on_top_timer.setInterval(100);
    connect(&always_on_top_timer, &QTimer::timeout, this, &Tbasic::always_on_top_timerTimer);
    createMenu();
    createTray();
    start_timer.start();
    FormCreate();
}

void Tbasic::createTray() {
    tray.setCycleInterval(0);
    tray.setHint(QStringLiteral("Lumevanta"));
    tray.setIconIndex(0);
    tray.setPopupMenu(&menu_rightb);
    tray.OnClick = [this](TNotifyIcon& icon) { trayClick(icon); };
    tray.OnHostGone = [this](TNotifyIcon&) { trayHostGone(); };
}

void Tbasic::createMenu() {
    goto_options_menu = menu_rightb.addAction(QStringLiteral("Настройки"), this, [this] { OpenPreferences(Loaded); });
    goto_options_menu->setShortcut(QKeySequence(QString::fromLatin1(windowActionKey(WindowAction::Preferences))));
    restore_menu = menu_rightb.addAction(QStringLiteral("Восстановить"), this, [this] { RestoreFromTray(); });
    restore_menu->setEnabled(false);
    hidetotray_menu = menu_rightb.addAction(QStringLiteral("Свернуть"), this, [this] { HideToTray(); });
    hidetotray_menu->setShortcut(QKeySequence(QString::fromLatin1(windowActionKey(WindowAction::HideToTray))));
    exit_menu = menu_rightb.addAction(QStringLiteral("Выход"), this, [this] { ExitProgram(); });
    // The menu belongs to a form that is never active: the shortcuts are shown, not bound.
    for (QAction* action : menu_rightb.actions())
        action->setShortcutVisibleInContextMenu(true);
}

void Tbasic::applyStoredPortSettings() {
    port1.setCommPort("COM2");
    prepareForKeyExchange(port1);
}

void Tbasic::FormCreate() {
    setFixedSize(200, 100);
    QLocale::setDefault(QLocale::c());
}

void Tbasic::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    basichide_timer.start();
}

void Tbasic::basichide_timerTimer() {
    basichide_timer.stop();
    hide();
}

void Tbasic::start_timerTimer() {
    start_timer.stop();
    // Both are due at once, in no fixed order: the loading window goes first, so that it is not drawn
    // (loading fonts for its label) on its way out while the panel waits.
    if (basichide_timer.isActive()) basichide_timerTimer();
    StartUp();
}

PanelForm* Tbasic::ActivePanel() const {
    const auto layout = layoutForDeviceType(settings.DeviceType);
    return layout ? panels_[static_cast<std::size_t>(*layout)] : nullptr;
}

void Tbasic::registerPanel(PanelLayout layout, PanelForm* panel) {
    panels_[static_cast<std::size_t>(layout)] = panel;
    // The window manager may minimise or restore a panel itself (task bar, keys): the menu follows.
    panel->installEventFilter(this);
}

bool Tbasic::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && watched == ActivePanel())
        QTimer::singleShot(0, this, [this] { panelStateChanged(); });
    return QWidget::eventFilter(watched, event);
}

void Tbasic::panelStateChanged() {
    PanelForm* active = ActivePanel();
    if (!active || !active->isVisible() || tray.IconVisible()) return;
    const bool putAway = restore_menu->isEnabled();
    if (active->isMinimized() && !putAway) {
        always_on_top_timer.stop();
        restore_menu->setEnabled(true);
        hidetotray_menu->setEnabled(false);
    } else if (!active->isMinimized() && putAway) {
        RestoreFromTray();
    }
}

// The options come first: they say which panel is wanted, and only its pictures are read before it
// shows. The other panels' follow once it is on the screen (or the dialog is), a panel a turn of the
// event loop, long before anyone could have chosen another device type; one that is wanted sooner is
// read when it is shown. The preferences dialog is made when it is first opened: until then its fonts
// and controls would only take memory.
void Tbasic::StartUp() {
    const LoadResult result = LoadOptions();
    if (result != Loaded) {
        earlyPictures_ = {};
        OpenPreferences(result);
        panels_timer.start(0);
        return;
    }
    exchange.OpenPort();
    ShowPanel();
    if (PanelForm* active = ActivePanel()) active->whenFirstDrawn([this] { panels_timer.start(0); });
    // In case the window system never has it drawn.
    panels_timer.start(OtherPanelsAtTheLatest);
}

void Tbasic::panels_timerTimer() {
    if (QGuiApplication::windowIcon().isNull()) {
        useProgramIcon();
        panels_timer.start(0);
        return;
    }
    for (PanelLayout layout : creationOrder) {
        PanelForm* panel = panels_[static_cast<std::size_t>(layout)];
        if (!panel || panel->bitmapsLoaded()) continue;
        panel->LoadPanelBitmaps();
        panels_timer.start(0);
        return;
    }
    panels_timer.stop();
}

void Tbasic::OpenPreferences(LoadResult reason) {
    if (Tpref_frm* dialog = preferences()) dialog->OpenPreferences(reason);
}

void Tbasic::ShowPanel() {
    PanelForm* active = ActivePanel();
    for (PanelLayout layout : creationOrder) {
        PanelForm* panel = panels_[static_cast<std::size_t>(layout)];
        if (panel && panel != active) panel->hide();
    }
    if (active) {
        active->LoadPanelBitmaps(earlyPictures_.take());
        active->setWindowState(active->windowState() & ~Qt::WindowMinimized);
        active->show();
        active->raise();
    }
    SetPanelOnTop(settings.AlwaysOnTop);
    tray.ShowTaskbarButton();
    exchange.LampsOff();
}

void Tbasic::SetPanelOnTop(bool on) {
    // Wayland keeps no window above others for a client; a change of flags would only make the
    // compositor place the panel anew.
    if (waylandItself) on = false;
    PanelForm* active = ActivePanel();
    if (!on && !active) return;
    if (active && active->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
        // Told to the window system in place: a window made anew, as setWindowFlag does it, would be
        // placed anew by the window manager.
        const Qt::WindowFlags flags = active->windowFlags().setFlag(Qt::WindowStaysOnTopHint, on);
        active->overrideWindowFlags(flags);
        if (QWindow* window = active->windowHandle()) window->setFlags(flags);
    }
    if (on)
        always_on_top_timer.start();
    else
        always_on_top_timer.stop();
}

void Tbasic::always_on_top_timerTimer() {
    PanelForm* active = ActivePanel();
    if (!active) return;
    const QWindow* foreground = QGuiApplication::focusWindow();
    if (active->isVisible() && foreground && foreground == active->windowHandle()) return;
    active->show();
    active->raise();
}

void Tbasic::EnablePanel() {
    if (PanelForm* active = ActivePanel()) active->setEnabled(true);
}

void Tbasic::DisablePanel() {
    if (settings.DeviceType == Settings::NoDeviceType) return;
    if (PanelForm* active = ActivePanel()) active->setEnabled(false);
}

void Tbasic::ApplyShowHints() {
    if (PanelForm* active = ActivePanel()) active->setShowHint(settings.ShowHints);
}

void Tbasic::optionsRequested() {
    OpenPreferences(Loaded);
    DisablePanel();
}

// The windows' and the tray's icon wait until the panel is on the screen: painting its eight sizes
// and handing them to the window system took the panel 3 ms.
void Tbasic::useProgramIcon() {
    if (!QGuiApplication::windowIcon().isNull()) return;
    QGuiApplication::setWindowIcon(programIcon());
    tray.setIcon(programIcon());
}

void Tbasic::HideToTray() {
    useProgramIcon();
    PanelForm* active = ActivePanel();
    if (tray.hostAvailable()) {
        // Hidden first: the window manager is never left an on-top window on its way out.
        if (active) active->hide();
        SetPanelOnTop(false);
        tray.setIconVisible(true);
        tray.HideTaskbarButton();
    } else if (minimiseLosesThePanel()) {
        // Nothing would bring a minimised panel back: it stays as it is (the key's hint says so).
        return;
    } else {
        SetPanelOnTop(false);
        // No notification area to come back from: the task bar or window list keeps the panel.
        if (active) active->showMinimized();
    }
    restore_menu->setEnabled(true);
    hidetotray_menu->setEnabled(false);
}

void Tbasic::trayHostGone() {
    if (!tray.IconVisible()) return;
    // On Wayland itself nothing would bring a minimised panel back: it comes back on the screen.
    if (minimiseLosesThePanel()) return RestoreFromTray();
    tray.setIconVisible(false);
    tray.ShowTaskbarButton();
    if (PanelForm* active = ActivePanel()) active->showMinimized();
}

void Tbasic::BringForward(const QString& activationToken) {
    // Qt's Wayland platform hands the token to the compositor at the next activation.
    if (waylandItself && !activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    const bool inPreferences = pref_ && pref_->isVisible();
    if (PanelForm* active = ActivePanel()) {
        RestoreFromTray();
        active->activateWindow();
        // An open dialog stays in front of the panel, as it was opened to be.
        if (inPreferences) SetPanelOnTop(false);
    } else if (!inPreferences) {
        // Nothing on the screen at all (a wrong model, the dialog cancelled): the way back is the dialog.
        OpenPreferences(Loaded);
    }
    if (pref_ && pref_->isVisible()) {
        pref_->raise();
        pref_->activateWindow();
    }
}

void Tbasic::RestoreFromTray() {
    ShowPanel();
    restore_menu->setEnabled(false);
    hidetotray_menu->setEnabled(true);
    tray.setIconVisible(false);
}

void Tbasic::showMenu(const QPoint& globalPosition) {
    hidetotray_menu->setVisible(tray.hostAvailable());
    // A Wayland compositor places a menu only beside its parent window; without one it opens anywhere.
    if (QWidget* origin = menuOrigin()) {
        menu_rightb.winId();
        menu_rightb.windowHandle()->setTransientParent(origin->windowHandle());
    }
    menu_rightb.popup(globalPosition);
}

// The window the menu was asked for from: the dialog when the pointer is on it, else the panel.
QWidget* Tbasic::menuOrigin() const {
    if (pref_ && pref_->isVisible() && pref_->underMouse()) return pref_;
    PanelForm* active = ActivePanel();
    return active && active->isVisible() ? active : nullptr;
}

Tpref_frm* Tbasic::preferences() {
    if (pref_ || !makePreferences_) return pref_;
    pref_ = &makePreferences_();
    if (preferencesFilled_) {
        fillPreferences();
        for (const auto& [line, text] : preferenceLines_)
            pref_->applyPackLine(line, text);
        applyWindowSystemLimits();
    }
    return pref_;
}

void Tbasic::applyWindowSystemLimits() {
    if (pref_ && waylandItself) pref_->setAlwaysOnTopUnavailable(text(TextId::OnTopUnavailable));
    if (!minimiseLosesThePanel()) return;
    for (PanelForm* panel : panels_) {
        if (!panel) continue;
        for (const PanelPart& part : panel->layout().parts)
            if (part.action == WindowAction::HideToTray) panel->setHint(part.name, text(TextId::MinimiseUnavailable));
    }
}

LoadResult Tbasic::LoadOptions() {
    const StartOptions loaded = loadStartOptions(settings, port1);
    if (loaded.result != FirstStart) {
        ApplyShowHints();
        refusedId_.reset();
        if (loaded.refusedId) refusedId_ = *loaded.refusedId;
    }
    fillPreferences();
    LoadLanguagePack();
    applyWindowSystemLimits();
    reportForeignOptions();
    return loaded.result;
}

// Once a run: the settings the user may expect from the working folder are not the ones in force.
void Tbasic::reportForeignOptions() {
    if (reportedForeignOptions_) return;
    const auto foreign = ConfigFolder::foreignOptionsFile();
    if (!foreign) return;
    reportedForeignOptions_ = true;
    Messages::notify(shownText(texts.foreignOptionsNotice(*foreign)), QStringLiteral("Lumevanta"));
}

void Tbasic::fillPreferences() {
    preferencesFilled_ = true;
    if (!pref_) return;
    pref_->fill(Preferences::inForce(settings, port1, refusedId_));
}

void Tbasic::linkReported(LinkEvent event, const PortFailure& failure) {
    lastLinkFailure_ = failure;
    showLinkState();
    if (event == LinkEvent::OpenFailed)
        Messages::show(qtText(LinkTexts::connectError(texts, port1.CommPort(), failure)),
                       qtText(texts.text(TextId::ConnectErrorCaption)));
    else if (event == LinkEvent::Lost)
        Messages::notify(qtText(LinkTexts::connectionLost(texts, port1.CommPort(), failure)),
                         QStringLiteral("Lumevanta"));
}

// The tray tip and the noline lamp's hint say whether the line is there, and if not, why.
void Tbasic::showLinkState() {
    if (!lastLinkFailure_) return;
    const QString state = qtText(LinkTexts::stateTip(texts, port1.CommPort(), *lastLinkFailure_));
    if (state == linkState_) return; // the quiet looks for a missing device say the same each second
    linkState_ = state;
    tray.setHint(linkState_);
    for (PanelForm* panel : panels_) {
        if (!panel) continue;
        for (const PanelPart& part : panel->layout().parts)
            if (PanelParts::showsLinkState(part)) panel->setHint(part.name, linkState_);
    }
}

bool Tbasic::SaveOptions() {
    if (!pref_) return false;
    // Everything is checked before anything changes, so a refusal leaves the program as it was.
    const auto checked = Preferences::accepted(pref_->values());
    if (const auto* refusal = std::get_if<Preferences::Refusal>(&checked)) {
        Messages::show(shownText(texts.text(refusal->text, {refusal->argument})), QStringLiteral("Lumevanta"),
                       Messages::Icon::Error);
        return false;
    }
    exchange.ClosePort();
    Preferences::apply(std::get<Preferences::Choice>(checked), settings, port1);
    // A file that cannot be written is said so; the settings stay in force all the same.
    WriteOptions();
    return true;
}

void Tbasic::LoadLanguagePack() {
    // The program's own messages fall back to their Russian texts without a pack; the interface
    // keeps whatever it showed.
    texts.applyPack({});
    const auto name = LanguagePack::fileName(settings.Language);
    if (!name) return;
    const std::string path = packFolder + *name;
    const auto lines = LanguagePack::read(path);
    reportPack(path, lines);
    if (!lines) return;
    texts.applyPack(*lines);
    showLinkState();
    const auto menuEntries = menu_rightb.actions();
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const int line = static_cast<int>(i) + 1;
        const QString text = shownText((*lines)[i]);
        preferenceLines_[line] = text;
        if (pref_) pref_->applyPackLine(line, text);
        const int menuEntry = line - PackLine::FirstMenuEntry;
        if (menuEntry >= 0 && menuEntry < PackLine::MenuEntryCount) menuEntries[menuEntry]->setText(text);
        for (PanelLayout layout : creationOrder) {
            PanelForm* panel = panels_[static_cast<std::size_t>(layout)];
            if (!panel) continue;
            for (const PanelPart& part : panel->layout().parts)
                if (part.packLine == line) panel->setHint(part.name, text);
        }
    }
}

void Tbasic::reportPack(const std::string& path, const std::optional<std::vector<std::string>>& lines) {
    const int expected = ProgramTexts::lastPackLine();
    if (lines && static_cast<int>(lines->size()) >= expected) return;
    if (!reportedPacks_.insert(path).second) return;
    if (!lines)
        Messages::log(QStringLiteral("language pack %1 cannot be read; the texts stay as they are").arg(qtText(path)));
    else
        Messages::log(
            QStringLiteral("language pack %1 has %2 of its %3 lines; the texts of the others stay as they are")
                .arg(qtText(path))
                .arg(lines->size())
                .arg(expected));
}

QString Tbasic::text(TextId id) const {
    return shownText(texts.text(id));
}

bool Tbasic::WriteOptions() {
    const SavedOptions saved = saveStartOptions(settings, port1);
    if (saved.failure.empty()) return true;
    Messages::log(QStringLiteral("cannot save %1: %2").arg(qtText(saved.path), QString::fromLocal8Bit(saved.failure)));
    Messages::show(shownText(texts.text(TextId::WriteError, {saved.path})), text(TextId::WriteErrorCaption));
    return false;
}

void Tbasic::ExitProgram() {
    exchange.ClosePort();
    tray.setIconVisible(false);
    exited_ = true;
    close();
    QCoreApplication::quit();
}
