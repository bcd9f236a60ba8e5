#include "settings/ConfigFolder.h"

#include "posix/OwnPath.h"
#include "settings/OptionsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace ConfigFolder {
namespace {

QString workingFolderOptions() {
    return QFileInfo(QDir::current(), QString::fromLatin1(OptionsFile::FileName)).absoluteFilePath();
}

OwnPath::Resolved resolve(const QString& file) {
    return OwnPath::resolve(QFile::encodeName(file).toStdString());
}

} // namespace

QString path() {
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder)) folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QStringLiteral("/lumevanta");
}

QString optionsFile() {
    const QString here = workingFolderOptions();
    const OwnPath::Resolved resolved = resolve(here);
    // A dangling link of the user's counts as there too: saving goes through it rather than elsewhere.
    if (!resolved.foreignOwner && (resolved.exists || resolved.throughLink || resolved.error)) return here;
    return path() + QLatin1Char('/') + QString::fromLatin1(OptionsFile::FileName);
}

std::optional<ForeignFile> foreignOptionsFile() {
    const QString here = workingFolderOptions();
    const OwnPath::Resolved resolved = resolve(here);
    if (!resolved.foreignOwner) return std::nullopt;
    return ForeignFile{here, QString::fromStdString(OwnPath::userName(*resolved.foreignOwner))};
}

bool makeFolderFor(const QString& file) {
    const QFileInfo folder(QFileInfo(file).absolutePath());
    if (folder.isDir()) return true;
    if (!QDir().mkpath(folder.absolutePath())) return false;
    return ::mkdir(QFile::encodeName(folder.absoluteFilePath()).constData(), 0700) == 0 ||
           QFileInfo(folder.absoluteFilePath()).isDir();
}

} // namespace ConfigFolder
