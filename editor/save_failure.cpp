#include "save_failure.h"

QString saveFailureReason(PackwellFailure kind, const QString& what, const QString& systemMessage) {
    switch (kind) {
        case PackwellFailure::ReadOnlyPackage:
            return QStringLiteral("授课轨迹包是只读的");
        case PackwellFailure::NoPermission:
            return QStringLiteral("没有写入权限");
        case PackwellFailure::DiskFull:
            return QStringLiteral("磁盘空间不足");
        default:
            break;
    }
    if (systemMessage.isEmpty())
        return what;
    return what + QStringLiteral("（") + systemMessage + QStringLiteral("）");
}
