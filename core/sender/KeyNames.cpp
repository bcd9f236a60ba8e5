#include "sender/KeyNames.h"

#include "settings/OptionsFile.h"

#include <algorithm>
#include <cctype>

namespace KeyNames {
namespace {

constexpr std::size_t MostMistakes = 2;

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Typing mistakes between two words: letters added, left out, changed, or two swapped.
std::size_t mistakesBetween(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// A short name is not close to everything: at most two mistakes, and fewer than half its letters.
bool closeEnough(std::string_view name, std::string_view text) {
    return mistakesBetween(name, text) <= std::min(MostMistakes, (name.size() - 1) / 2);
}

} // namespace

std::string nameOf(const PanelPart& part) {
    std::string_view name = part.name;
    if (name.ends_with("_b")) name.remove_suffix(2);
    return std::string(name);
}

std::vector<const PanelPart*> keysOf(const PanelLayoutTable& table) {
    std::vector<const PanelPart*> keys;
    for (const PanelPart& part : table.parts)
        if (part.kind == PartKind::Key) keys.push_back(&part);
    return keys;
}

std::optional<Key> find(const PanelLayoutTable* table, std::string_view text) {
    if (table) {
        const std::string wanted = lowerCase(text);
        for (const PanelPart* part : keysOf(*table))
            if (nameOf(*part) == wanted) return Key{wanted, part->key};
    }
    if (const auto code = OptionsFile::readWholeNumber(text); code && *code >= 0 && *code <= 255)
        return Key{std::string(text), static_cast<std::uint8_t>(*code)};
    return std::nullopt;
}

std::vector<std::string> closeMatches(const PanelLayoutTable& table, std::string_view text) {
    const std::string wanted = lowerCase(text);
    std::vector<std::string> matches;
    for (const PanelPart* part : keysOf(table)) {
        const std::string name = nameOf(*part);
        if ((!wanted.empty() && name.starts_with(wanted)) || closeEnough(name, wanted)) matches.push_back(name);
    }
    return matches;
}

} // namespace KeyNames
