#include "filemanager/MountedVolumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

#include "filemanager/DriveDirectories.h"

namespace rq {

std::vector<std::string> MountedVolumeRoots() {
    const std::string first = QDir::toNativeSeparators(QDir::rootPath()).toStdString();
    std::vector<std::string> others;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Volumes that are not ready stay listed: choosing one tells the operator why.
        if (!volume.isValid() || !QFileInfo(volume.rootPath()).isDir()) {
            continue;
        }
        const std::string root = QDir::toNativeSeparators(volume.rootPath()).toStdString();
        if (root != first && IsOperatorVolume(root, volume.fileSystemType().toStdString()) &&
            std::find(others.begin(), others.end(), root) == others.end()) {
            others.push_back(root);
        }
    }
    std::sort(others.begin(), others.end());
    others.insert(others.begin(), first);
    return others;
}

}  // namespace rq
