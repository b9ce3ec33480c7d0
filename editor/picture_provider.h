// The pictures of the grid and the player, as "image://picture/" followed by
// the picture's file URL. Each is decoded at the size its Image asks for
// (sourceSize), one at a time on the engine's image thread, so showing a
// picture never costs more than its shown pixels and one decode. A picture
// beyond the size limits is not decoded, and one whose file is cut short is
// not shown: a placeholder says why instead.
#pragma once

#include <QQuickImageProvider>

class PictureProvider : public QQuickImageProvider {
public:
    // The name the provider is registered under with the engine.
    static constexpr const char* kName = "picture";

    PictureProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};
