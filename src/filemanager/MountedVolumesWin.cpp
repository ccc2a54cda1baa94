// The drive list on Windows: every drive letter the system has (C:\, D:\, removable and
// network drives), in letter order, as a Windows operator expects. A drive without a
// medium stays listed: choosing it tells the operator why it cannot be read.
#include <QDir>
#include <QFileInfo>

#include "filemanager/MountedVolumes.h"

namespace rq {

std::vector<std::string> MountedVolumeRoots() {
    std::vector<std::string> roots;
    for (const QFileInfo& drive : QDir::drives()) {
        roots.push_back(QDir::toNativeSeparators(drive.absolutePath()).toStdString());
    }
    return roots;
}

}  // namespace rq
