#include "entry_matching.h"

EntryMatcher::EntryMatcher(const QVector<EntryKey>& documentEntries)
    : taken(documentEntries.size(), false) {
    for (int index = 0; index < documentEntries.size(); ++index) {
        Group& group = groups[documentEntries[index].key];
        group.byTime[documentEntries[index].time].push_back(index);
        group.all.push_back(index);
    }
}

int EntryMatcher::take(std::deque<int>& candidates) {
    while (!candidates.empty()) {
        const int index = candidates.front();
        candidates.pop_front();
        if (!taken[index]) {
            taken[index] = true;
            return index;
        }
    }
    return -1;
}

QVector<int> EntryMatcher::match(const QVector<EntryKey>& windowEntries) {
    QVector<int> result(windowEntries.size(), -1);
    // All entries left at their time are settled first, so one whose time was
    // edited cannot take the place of one that was not.
    for (int k = 0; k < windowEntries.size(); ++k) {
        const auto group = groups.find(windowEntries[k].key);
        if (group == groups.end())
            continue;
        const auto sameTime = group->byTime.find(windowEntries[k].time);
        if (sameTime != group->byTime.end())
            result[k] = take(*sameTime);
    }
    for (int k = 0; k < windowEntries.size(); ++k) {
        if (result[k] >= 0)
            continue;
        const auto group = groups.find(windowEntries[k].key);
        if (group != groups.end())
            result[k] = take(group->all);
    }
    return result;
}
