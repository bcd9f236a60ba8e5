#include "settings/ProgramTexts.h"

#include "settings/LanguagePack.h"

#include <algorithm>

namespace {

struct TextRow {
    TextId id;
    int packLine;
    const char* russian; // UTF-8 here; the pack itself is Windows-1251
};

constexpr TextRow textRows[] = {
    {TextId::ConnectError, 53, "Ошибка подключения к COM порту"},
    {TextId::ConnectErrorCaption, 54, "Error connect"},
    {TextId::ReasonNoDevice, 55, "%1: устройства нет: адаптер не подключён или имя неверно"},
    {TextId::ReasonPermission, 56,
     "%1: нет доступа: добавьте пользователя в группу %2: sudo usermod -aG %2 %3, затем войдите в систему снова"},
    {TextId::ReasonInUse, 57, "%1: порт занят другой программой"},
    {TextId::ReasonNotSerial, 58, "%1: это не последовательный порт"},
    {TextId::ReasonBadSpeed, 59, "%1: скорость %2 не поддерживается"},
    {TextId::ReasonOther, 60, "%1: %2"},
    {TextId::ConnectionLost, 61, "Связь с %1 потеряна: %2"},
    {TextId::TrayConnected, 62, "подключено к %1"},
    {TextId::TrayDisconnected, 63, "нет связи с %1: %2"},
    {TextId::WriteError, 64, "Нет доступа для записи на диск!\r\nНевозможно сохранить файл опций\r\n%1"},
    {TextId::WriteErrorCaption, 65, "Ошибка"},
    {TextId::AlreadyRunning, 66, "Программа уже запущена"},
    {TextId::RefusalCaption, 67, "Ошибка!"},
    {TextId::NotAnInteger, 68, "'%1' is not a valid integer value"},
    {TextId::RangeCheck, 69, "Range check error"},
    {TextId::PanelImagesMissing, 70, "Не удалось загрузить изображения панели:"},
    {TextId::ReasonNoDeviceShort, 71, "устройства нет"},
    {TextId::WrongDeviceType, 72, "Неправильно задан тип оборудования!"},
    {TextId::WrongId, 73, "Неправильно введено значение ID byte\r\nИспользуйте десятичное число от 0 до 255"},
    {TextId::ReasonPermissionShort, 74, "нет доступа"},
    {TextId::ReasonInUseShort, 75, "порт занят другой программой"},
    {TextId::ReasonNotSerialShort, 76, "это не последовательный порт"},
    {TextId::ReasonBadSpeedShort, 77, "скорость %1 не поддерживается"},
    {TextId::ReasonOwnerOnly, 78,
     "%1: нет доступа: устройство открыто только своему владельцу, доступ может дать администратор (правило udev)"},
    {TextId::OnTopUnavailable, 79,
     "Недоступно в Wayland: окна над другими ставит композитор. Запустите с -platform xcb, чтобы включить"},
    {TextId::MinimiseUnavailable, 80,
     "Свернуть некуда: нет области уведомлений, а свёрнутую панель Wayland назад не вернёт"},
    {TextId::ForeignOptionsFile, 81,
     "Файл настроек %1 принадлежит пользователю %2 и не используется.\r\nНастройки хранятся в %3"},
    {TextId::ReasonConnecting, 82, "%1: идёт подключение к серверу"},
    {TextId::ReasonConnectingShort, 83, "идёт подключение"},
    {TextId::ReasonBadAddress, 84, "%1: это не сетевой адрес: пишите rfc2217://УЗЕЛ:ПОРТ или tcp://УЗЕЛ:ПОРТ"},
    {TextId::ReasonBadAddressShort, 85, "неверный сетевой адрес"},
    {TextId::ReasonUnresolved, 86, "%1: имя узла не найдено: проверьте имя и DNS"},
    {TextId::ReasonUnresolvedShort, 87, "имя узла не найдено"},
    {TextId::ReasonRefused, 88, "%1: сервер отказал в подключении: проверьте порт и запущен ли сервер"},
    {TextId::ReasonRefusedShort, 89, "в подключении отказано"},
    {TextId::ReasonUnreachable, 90, "%1: сервер недоступен или не отвечает"},
    {TextId::ReasonUnreachableShort, 91, "сервер не отвечает"},
    {TextId::ReasonDisconnected, 92, "%1: сервер закрыл соединение"},
    {TextId::ReasonDisconnectedShort, 93, "соединение закрыто"},
    {TextId::ReasonOptionRefused, 94,
     "%1: сервер не принял управление портом (RFC 2217) или параметры линии (сервер в режиме raw: пишите tcp://)"},
    {TextId::ReasonOptionRefusedShort, 95, "сервер не принял управление портом"},
};
static_assert(std::size(textRows) == ProgramTexts::Count);

constexpr int lastTextLine() {
    int last = 0;
    for (const TextRow& r : textRows)
        last = std::max(last, r.packLine);
    return last;
}
static_assert(lastTextLine() == LanguagePack::LastLine, "the packs are read up to the last message");

const TextRow& row(TextId id) {
    return textRows[static_cast<std::size_t>(id)];
}

} // namespace

ProgramTexts::ProgramTexts() {
    applyPack({});
}

const std::string& ProgramTexts::text(TextId id) const {
    return texts_[static_cast<std::size_t>(id)];
}

std::string ProgramTexts::text(TextId id, std::initializer_list<std::string_view> args) const {
    const std::string& pattern = text(id);
    std::string filled;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool marker = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
                            static_cast<std::size_t>(pattern[i + 1] - '0') <= args.size();
        if (!marker) {
            filled += pattern[i];
            continue;
        }
        filled += *(args.begin() + (pattern[i + 1] - '1'));
        ++i;
    }
    return filled;
}

std::string ProgramTexts::foreignOptionsNotice(const ConfigFolder::ForeignFile& foreign) const {
    return text(TextId::ForeignOptionsFile, {foreign.path, foreign.owner, ConfigFolder::optionsFile()});
}

void ProgramTexts::applyPack(const std::vector<std::string>& lines) {
    for (const TextRow& r : textRows) {
        const auto index = static_cast<std::size_t>(r.packLine - 1);
        const bool inPack = index < lines.size() && !lines[index].empty();
        texts_[static_cast<std::size_t>(r.id)] = inPack ? lines[index] : r.russian;
    }
}

ProgramTexts ProgramTexts::forLanguage(std::uint8_t language, const std::string& folder) {
    ProgramTexts texts;
    if (const auto name = LanguagePack::fileName(language))
        if (const auto lines = LanguagePack::read(folder + *name)) texts.applyPack(*lines);
    return texts;
}

int ProgramTexts::packLine(TextId id) {
    return row(id).packLine;
}

int ProgramTexts::lastPackLine() {
    return lastTextLine();
}

std::string ProgramTexts::defaultText(TextId id) {
    return row(id).russian;
}
