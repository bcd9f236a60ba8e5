#include "basic_unit.h"

#include "Messages.h"

#include "exchange/KeyExchangePort.h"
#include "model/DeviceTypes.h"
#include "panels/PanelLayouts.h"
#include "program/StartOptions.h"
#include "settings/ConfigFolder.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/LinkTexts.h"

#include <windows.h>

Tbasic::Tbasic(DeviceOpener opener)
    : port1(std::move(opener)),
      exchange(
          port1, settings.IdByte, [this] { return ActivePanel(); },
          [this](LinkEvent event, const PortFailure& failure) { linkReported(event, failure); }),
      packFolder_(LanguagePack::packFolder()) {
    // Until the options are read the program speaks the stored language, else the desktop's.
    settings.Language = DesktopLanguage::startLanguage();
    texts = ProgramTexts::forLanguage(settings.Language, packFolder_);
    port1.setCommPort("COM2");
    prepareForKeyExchange(port1);
    for (PanelLayout layout : creationOrder)
        panels_[static_cast<std::size_t>(layout)] = std::make_unique<PanelForm>(panelLayout(layout), *this);
    always_on_top_timer.setInterval(100);
    start_timer.setInterval(1);
    start_timer.setSingleShot(true);
    start_timer.start();
}

void Tbasic::start_timerTimer() {
    start_timer.stop();
    StartUp();
}

PanelForm* Tbasic::ActivePanel() const {
    const auto layout = layoutForDeviceType(settings.DeviceType);
    return layout ? panels_[static_cast<std::size_t>(*layout)].get() : nullptr;
}

void Tbasic::StartUp() {
    std::string unreadable;
    for (PanelLayout layout : creationOrder)
        for (const std::string& name : panels_[static_cast<std::size_t>(layout)]->LoadPanelBitmaps())
            unreadable += "\r\n" + name;
    if (!unreadable.empty())
        Messages::show(texts.text(TextId::PanelImagesMissing) + unreadable, texts.text(TextId::WriteErrorCaption));
    const LoadResult result = LoadOptions();
    if (result != Loaded) {
        OpenPreferences(result);
        return;
    }
    exchange.OpenPort();
    ShowPanel();
}

LoadResult Tbasic::LoadOptions() {
    const StartOptions loaded = loadStartOptions(settings, port1);
    if (loaded.result != FirstStart) ApplyShowHints();
    LoadLanguagePack();
    return loaded.result;
}

// Only the panel of the device type just read takes the setting.
void Tbasic::ApplyShowHints() {
    if (PanelForm* active = ActivePanel()) active->setShowHint(settings.ShowHints);
}

// The program's messages fall back to their Russian texts without a pack; the panels' hints keep
// whatever they had.
void Tbasic::LoadLanguagePack() {
    texts = ProgramTexts();
    const auto name = LanguagePack::fileName(settings.Language);
    const auto lines = name ? LanguagePack::read(packFolder_ + *name) : std::nullopt;
    if (!lines) return;
    texts.applyPack(*lines);
    for (const auto& panel : panels_) {
        const auto& parts = panel->layout().parts;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const int line = parts[i].packLine;
            if (line > 0 && line <= static_cast<int>(lines->size())) panel->setHint(i, (*lines)[line - 1]);
        }
    }
}

// Windows has no preferences dialog yet: a start that needs one says what is wrong and where the
// options file is looked for, and ends.
void Tbasic::OpenPreferences(LoadResult reason) {
    const TextId problem = reason == BadId ? TextId::WrongId : TextId::WrongDeviceType;
    Messages::show(texts.text(problem) + "\r\n" + ConfigFolder::optionsFile(), "Lumevanta", Messages::Icon::Error);
    ExitProgram();
}

void Tbasic::ShowPanel() {
    PanelForm* active = ActivePanel();
    for (const auto& panel : panels_)
        if (panel.get() != active) panel->hide();
    if (active) active->show();
    SetPanelOnTop(settings.AlwaysOnTop);
    exchange.LampsOff();
}

void Tbasic::SetPanelOnTop(bool on) {
    if (PanelForm* active = ActivePanel()) active->setOnTop(on);
    if (on)
        always_on_top_timer.start();
    else
        always_on_top_timer.stop();
}

// Another program's topmost window may have come over the panel: it goes back on top, without
// taking the focus from whatever the user works in.
void Tbasic::always_on_top_timerTimer() {
    PanelForm* active = ActivePanel();
    if (!active || GetForegroundWindow() == active->window()) return;
    active->keepInFront();
}

void Tbasic::optionsRequested() {
    // The preferences dialog comes with the tray icon; until then the options button does nothing.
}

// No tray icon yet: the panel is minimised, as where the desktop has no notification area.
void Tbasic::HideToTray() {
    SetPanelOnTop(false);
    if (PanelForm* active = ActivePanel()) ShowWindow(active->window(), SW_MINIMIZE);
}

void Tbasic::ExitProgram() {
    exchange.ClosePort();
    always_on_top_timer.stop();
    PostQuitMessage(0);
}

void Tbasic::linkReported(LinkEvent event, const PortFailure& failure) {
    if (event == LinkEvent::OpenFailed)
        Messages::show(LinkTexts::connectError(texts, port1.CommPort(), failure),
                       texts.text(TextId::ConnectErrorCaption));
}
