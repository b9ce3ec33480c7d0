// Which document entry each entry of the window stands for when a track is
// saved. Several entries may show one picture, so their key (id and picture
// name) does not tell them apart: each document entry goes to one window
// entry at most, to one of the same key and the same time first, then to the
// first one of the same key left over, in order.
#pragma once

#include <QHash>
#include <QString>
#include <QVector>

#include <deque>

struct EntryKey {
    QString key;
    int time = 0;
};

class EntryMatcher {
public:
    // The document's entries, in document order.
    explicit EntryMatcher(const QVector<EntryKey>& documentEntries);

    // For each window entry, in the window's order, the index of its document
    // entry, or -1 for one the document does not hold. Linear in the entries.
    QVector<int> match(const QVector<EntryKey>& windowEntries);

private:
    // The document entries of one key in document order, all of them and by
    // time; an entry taken through one list is skipped when met in the other.
    struct Group {
        QHash<int, std::deque<int>> byTime;
        std::deque<int> all;
    };
    int take(std::deque<int>& candidates);

    QHash<QString, Group> groups;
    QVector<bool> taken;
};
