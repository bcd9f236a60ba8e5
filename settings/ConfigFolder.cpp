#include "settings/ConfigFolder.h"

#include "settings/OptionsFile.h"

#include <QDir>
#include <QFileInfo>

namespace ConfigFolder {

QString path() {
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder)) folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QStringLiteral("/lumevanta");
}

QString optionsFile() {
    const QString name = QString::fromLatin1(OptionsFile::FileName);
    const QFileInfo here(QDir::current(), name);
    // A dangling link counts as there too: saving goes through it rather than elsewhere.
    if (here.exists() || here.isSymLink()) return here.absoluteFilePath();
    return path() + QLatin1Char('/') + name;
}

} // namespace ConfigFolder
