#include "app/basic_unit.h"

#include "app/ProgramIcon.h"
#include "app/SystemTrayHost.h"
#include "base/Messages.h"
#include "exchange/KeyExchangePort.h"
#include "panels/PanelForm.h"
#include "settings/LanguagePack.h"
#include "settings/OptionsFile.h"
#include "settings/pref_unit.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QWindow>

Tbasic::Tbasic(DeviceOpener opener, std::unique_ptr<TrayHost> trayHost, QWidget* parent)
    : QWidget(parent), port1(this, std::move(opener)),
      exchange(
          port1, settings.IdByte, [this] { return ActivePanel(); },
          [](const QString& text, const QString& caption) { Messages::show(text, caption); }, this),
      start_timer(this), basichide_timer(this), always_on_top_timer(this),
      tray(trayHost ? std::move(trayHost) : std::make_unique<SystemTrayHost>(), this),
      packFolder(LanguagePack::ProgramFolder()) {
    setWindowTitle(QStringLiteral("basic"));
    setEnabled(false);
    move(256, 325);
    Label1 = new QLabel(QStringLiteral("ЗАГРУЗКА \nПРИЛОЖЕНИЯ...."), this);
    QFont font = Label1->font();
    font.setPixelSize(19);
    font.setBold(true);
    font.setItalic(true);
    Label1->setFont(font);
    Label1->move(4, 4);
    applyStoredPortSettings();

    start_timer.setInterval(1);
    basichide_timer.setInterval(1);
    connect(&start_timer, &QTimer::timeout, this, &Tbasic::start_timerTimer);
    connect(&basichide_timer, &QTimer::timeout, this, &Tbasic::basichide_timerTimer);
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
    tray.setIcon(programIcon());
    tray.setIconIndex(0);
    tray.setPopupMenu(&menu_rightb);
    tray.OnClick = [this](TNotifyIcon& icon) { trayClick(icon); };
}

void Tbasic::createMenu() {
    goto_options_menu = menu_rightb.addAction(QStringLiteral("Настройки"), this, [this] { OpenPreferences(Loaded); });
    goto_options_menu->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    restore_menu = menu_rightb.addAction(QStringLiteral("Восстановить"), this, [this] { RestoreFromTray(); });
    restore_menu->setEnabled(false);
    hidetotray_menu = menu_rightb.addAction(QStringLiteral("Свернуть"), this, [this] { HideToTray(); });
    hidetotray_menu->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
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
    StartUp();
}

PanelForm* Tbasic::ActivePanel() const {
    const auto layout = layoutForDeviceType(settings.DeviceType);
    return layout ? panels_[static_cast<std::size_t>(*layout)] : nullptr;
}

void Tbasic::registerPanel(PanelLayout layout, PanelForm* panel) {
    panels_[static_cast<std::size_t>(layout)] = panel;
}

void Tbasic::StartUp() {
    for (PanelLayout layout : creationOrder)
        if (PanelForm* panel = panels_[static_cast<std::size_t>(layout)]) panel->LoadPanelBitmaps();
    const LoadResult result = LoadOptions();
    if (result != Loaded) {
        OpenPreferences(result);
        return;
    }
    exchange.OpenPort();
    ShowPanel();
}

void Tbasic::OpenPreferences(LoadResult reason) {
    if (pref_) pref_->OpenPreferences(reason);
}

void Tbasic::ShowPanel() {
    PanelForm* active = ActivePanel();
    for (PanelLayout layout : creationOrder) {
        PanelForm* panel = panels_[static_cast<std::size_t>(layout)];
        if (panel && panel != active) panel->hide();
    }
    if (active) {
        active->show();
        active->raise();
    }
    SetPanelOnTop(settings.AlwaysOnTop);
    tray.ShowTaskbarButton();
    exchange.LampsOff();
}

void Tbasic::SetPanelOnTop(bool on) {
    PanelForm* active = ActivePanel();
    if (!on && !active) return;
    if (active && active->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
        // Changing a window's flags takes it off the screen; put it back as it was.
        const bool visible = active->isVisible();
        active->setWindowFlag(Qt::WindowStaysOnTopHint, on);
        if (visible) active->show();
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

void Tbasic::HideToTray() {
    SetPanelOnTop(false);
    if (PanelForm* active = ActivePanel()) active->hide();
    tray.setIconVisible(true);
    tray.HideTaskbarButton();
    restore_menu->setEnabled(true);
    hidetotray_menu->setEnabled(false);
}

void Tbasic::RestoreFromTray() {
    ShowPanel();
    restore_menu->setEnabled(false);
    hidetotray_menu->setEnabled(true);
    tray.setIconVisible(false);
}

void Tbasic::showMenu(const QPoint& globalPosition) {
    menu_rightb.popup(globalPosition);
}

LoadResult Tbasic::LoadOptions() {
    LoadResult result = FirstStart;
    if (const auto text = OptionsFile::read(OptionsFile::FileName)) {
        const StoredOptions stored = OptionsFile::parse(*text);
        settings.DeviceType = stored.deviceType;
        result = layoutForDeviceType(stored.deviceType) ? Loaded : BadDeviceType;
        settings.ShowHints = stored.showHints;
        ApplyShowHints();
        settings.AlwaysOnTop = stored.alwaysOnTop;
        port1.setCommPort(stored.port);
        port1.setBaudRate(stored.baudRate);
        refusedId_.reset();
        if (stored.refusedId) {
            // Keys must not reach whichever recorder a wrapped ID would name; the dialog asks again.
            refusedId_ = QString::fromStdString(*stored.refusedId);
            port1.setActive(false);
            if (result == Loaded) result = BadId;
        } else {
            settings.IdByte = stored.id;
        }
        settings.Language = stored.language;
    }
    fillPreferences();
    LoadLanguagePack();
    return result;
}

void Tbasic::fillPreferences() {
    if (!pref_) return;
    const bool chosen = settings.DeviceType != Settings::NoDeviceType;
    pref_->fill({chosen ? QString::fromStdString(settings.DeviceType) : QStringLiteral("BRW721"),
                 QString::fromStdString(port1.CommPort()), QString::number(port1.BaudRate()),
                 refusedId_.value_or(QString::number(settings.IdByte)), settings.ShowHints, settings.AlwaysOnTop,
                 settings.Language});
}

bool Tbasic::SaveOptions() {
    auto fail = [](const QString& text) {
        Messages::show(text, QStringLiteral("Lumevanta"), Messages::Icon::Error);
        return false;
    };
    const PreferenceValues v = pref_->values();
    port1.setActive(false);
    port1.setCommPort(v.port.toStdString());
    const auto speed = OptionsFile::readWholeNumber(v.baudRate.toStdString());
    if (!speed) return fail(QStringLiteral("'%1' is not a valid integer value").arg(v.baudRate));
    if (*speed < 0 || *speed > 0xFFFFFFFF) return fail(QStringLiteral("Range check error"));
    port1.setBaudRate(static_cast<std::uint32_t>(*speed));
    settings.ShowHints = v.showHints;
    settings.AlwaysOnTop = v.alwaysOnTop;
    const auto id = OptionsFile::readWholeNumber(v.id.toStdString());
    if (!id) return fail(QStringLiteral("'%1' is not a valid integer value").arg(v.id));
    if (*id < 0 || *id > 255) return fail(QStringLiteral("Range check error"));
    settings.IdByte = static_cast<std::uint8_t>(*id);
    settings.DeviceType = v.deviceType.toStdString();
    if (v.language < 0 || v.language > 255) return fail(QStringLiteral("Range check error"));
    settings.Language = static_cast<std::uint8_t>(v.language);
    // A file that cannot be written is said so; the settings stay in force all the same.
    WriteOptions();
    return true;
}

void Tbasic::LoadLanguagePack() {
    const auto name = LanguagePack::fileName(settings.Language);
    if (!name) return;
    const auto lines = LanguagePack::read(packFolder + *name);
    if (!lines) return;
    const auto menuEntries = menu_rightb.actions();
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const int line = static_cast<int>(i) + 1;
        const QString text = LanguagePack::forDisplay((*lines)[i]);
        if (pref_) pref_->applyPackLine(line, text);
        if (line >= 18 && line <= 21) menuEntries[line - 18]->setText(text);
        for (PanelLayout layout : creationOrder) {
            PanelForm* panel = panels_[static_cast<std::size_t>(layout)];
            if (!panel) continue;
            for (const PanelPart& part : panel->layout().parts)
                if (part.packLine == line) panel->setHint(part.name, text);
        }
    }
}

bool Tbasic::WriteOptions() {
    const StoredOptions stored{settings.DeviceType, settings.ShowHints, settings.AlwaysOnTop, port1.CommPort(),
                               port1.BaudRate(),    settings.IdByte,    settings.Language};
    if (OptionsFile::write(OptionsFile::FileName, OptionsFile::format(stored)).empty()) return true;
    Messages::show(QStringLiteral("Нет доступа для записи на диск!\rНевозможно сохранить файл опций"),
                   QStringLiteral("Ошибка"));
    return false;
}

void Tbasic::ExitProgram() {
    if (port1.Active()) port1.setActive(false);
    tray.setIconVisible(false);
    exited_ = true;
    close();
    QCoreApplication::quit();
}
