#include "track_document_guard.h"

#include <QXmlStreamReader>

namespace trackdoc {

QString refusalReason(const QByteArray& document) {
    if (document.size() > kMaxBytes)
        return QStringLiteral("tracks.xml过大");
    // The stream reader keeps its open elements on a heap stack and does not
    // expand entities while it reads their declarations, so this pass runs in
    // memory bounded by the document's size.
    QXmlStreamReader reader(document);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                if (++depth > kMaxDepth)
                    return QStringLiteral("tracks.xml嵌套层次过深");
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::DTD:
                // Parameter entities are not listed among the declarations.
                if (!reader.entityDeclarations().isEmpty() ||
                    reader.text().contains(QLatin1String("<!ENTITY")))
                    return QStringLiteral("tracks.xml含有实体声明");
                break;
            default:
                break;
        }
    }
    if (reader.hasError())
        return QStringLiteral("tracks.xml格式错误（第%1行）").arg(reader.lineNumber());
    return {};
}

}  // namespace trackdoc
