#include "basic_unit.h"

#include "Messages.h"

#include "exchange/KeyExchangePort.h"
#include "model/DeviceTypes.h"
#include "panels/PanelLayouts.h"
#include "program/Preferences.h"
#include "program/StartOptions.h"
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
    pref_frm_ = std::make_unique<Tpref_frm>(*this);
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
    if (loaded.result != FirstStart) refusedId_ = loaded.refusedId;
    pref_frm_->fill(Preferences::inForce(settings, port1, refusedId_));
    LoadLanguagePack();
    return loaded.result;
}

void Tbasic::OpenPreferences(LoadResult reason) {
    pref_frm_->OpenPreferences(reason);
}

// The program's own messages fall back to their Russian texts without a pack; the dialog keeps
// whatever it showed.
void Tbasic::LoadLanguagePack() {
    texts.applyPack({});
    const auto name = LanguagePack::fileName(settings.Language);
    const auto lines = name ? LanguagePack::read(packFolder_ + *name) : std::nullopt;
    if (!lines) return;
    texts.applyPack(*lines);
    for (std::size_t i = 0; i < lines->size(); ++i)
        pref_frm_->applyPackLine(static_cast<int>(i) + 1, (*lines)[i]);
}

bool Tbasic::SaveOptions() {
    // Everything is checked before anything changes, so a refusal leaves the program as it was.
    const auto checked = Preferences::accepted(pref_frm_->values());
    if (const auto* refusal = std::get_if<Preferences::Refusal>(&checked)) {
        Messages::show(texts.text(refusal->text, {refusal->argument}), "Lumevanta", Messages::Icon::Error);
        return false;
    }
    exchange.ClosePort();
    Preferences::apply(std::get<Preferences::Choice>(checked), settings, port1);
    // A file that cannot be written is said so; the settings stay in force all the same.
    const SavedOptions saved = saveStartOptions(settings, port1);
    if (!saved.failure.empty())
        Messages::show(texts.text(TextId::WriteError, {saved.path}), texts.text(TextId::WriteErrorCaption));
    return true;
}

void Tbasic::EnablePanel() {
    if (PanelForm* active = ActivePanel()) EnableWindow(active->window(), TRUE);
}

void Tbasic::DisablePanel() {
    if (settings.DeviceType == Settings::NoDeviceType) return;
    if (PanelForm* active = ActivePanel()) EnableWindow(active->window(), FALSE);
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
    OpenPreferences(Loaded);
    DisablePanel();
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
