#include "shell_services.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace kelp {

bool DesktopShell::Open(const QString& target, const QString& workDir) {
    if (target.contains(QStringLiteral("://"))) return QDesktopServices::openUrl(QUrl(target));
    const QString path = QDir::isAbsolutePath(target) || workDir.isEmpty()
                             ? target
                             : QDir(workDir).absoluteFilePath(target);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShell::Explore(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace kelp
