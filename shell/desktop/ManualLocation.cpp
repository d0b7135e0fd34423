#include "ManualLocation.h"

#include "InstalledPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace talvern::desktop {

namespace {
std::optional<QStringList>& candidatesForTests() {
    static std::optional<QStringList> instance;
    return instance;
}
} // namespace

QStringList manualCandidates() {
    if (candidatesForTests())
        return *candidatesForTests();
    QStringList places;
    // A package puts the program in <prefix>/bin and the manual in <prefix>/share/doc/talvern.
    places << QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' +
                              QLatin1String(installed::kManualFolderFromProgram) + u'/' +
                              QLatin1String(installed::kManualIndex));
#ifdef TALVERN_SOURCE_MANUAL
    places << QDir::cleanPath(QStringLiteral(TALVERN_SOURCE_MANUAL "/index.html"));
#endif
    return places;
}

QString findManual(const QStringList& candidates) {
    for (const QString& candidate : candidates) {
        const QFileInfo page(candidate);
        if (page.isFile())
            return page.absoluteFilePath();
    }
    return {};
}

QString manualIndex() { return findManual(manualCandidates()); }

void setManualCandidates(std::optional<QStringList> candidates) { candidatesForTests() = std::move(candidates); }

} // namespace talvern::desktop
