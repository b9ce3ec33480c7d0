#include "host_outcome.h"

void HostOutcome::setLastError(const QString& reason) {
    if (m_lastError == reason)
        return;
    m_lastError = reason;
    emit lastErrorChanged(reason);
}

void HostOutcome::setLastSkipped(const QStringList& names) {
    if (m_lastSkipped == names)
        return;
    m_lastSkipped = names;
    emit lastSkippedChanged(names);
}

void HostOutcome::setLoading(bool loading) {
    if (m_loading == loading)
        return;
    m_loading = loading;
    emit loadingChanged(loading);
}

void HostOutcome::setLoadProgress(double progress) {
    if (m_loadProgress == progress)
        return;
    m_loadProgress = progress;
    emit loadProgressChanged(progress);
}
