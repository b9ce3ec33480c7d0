// The look at "tracks.xml" before it is parsed: a document type with
// declarations of its own is refused where it begins; documents that cost a
// stream parser the square of their size are checked in one pass; nesting is
// counted from the markup as the document parser reads it, whatever text,
// comments or a declared encoding hold.
#include "track_document_guard.h"

#include <QTextCodec>
#include <QtTest>

#include <ctime>

namespace {

const QString kDocumentType = QStringLiteral("tracks.xml含有文档类型定义");
const QString kEntities = QStringLiteral("tracks.xml含有实体声明");
const QString kTooDeep = QStringLiteral("tracks.xml嵌套层次过深");

QByteArray numbered(const char* before, int k, const char* after) {
    return before + QByteArray::number(k) + after;
}

// A stream parser needs minutes for the quadratic shapes at this size already.
constexpr int kShapeBytes = 2 * 1024 * 1024;

// Repeats `unit(k)` for k = 0, 1, ... while the document stays below `size`.
template <typename Unit>
QByteArray filled(const QByteArray& head, Unit unit, const QByteArray& tail, int size) {
    QByteArray body = head;
    body.reserve(size);
    for (int k = 0;; ++k) {
        const QByteArray next = unit(k);
        if (body.size() + next.size() + tail.size() > size)
            break;
        body += next;
    }
    return body + tail;
}

// A generous bound on processor time (the machine may be busy with other
// work): the point is one pass, not a figure.
constexpr double kBoundSeconds = 5;

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

}  // namespace

class DocumentGuard : public QObject {
    Q_OBJECT

private slots:
    void declarationsAreRefusedWhereTheyBegin_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("reason");
        // The reported one: 10,000 attribute defaults applied to 50,000 elements.
        QByteArray defaults = "<!DOCTYPE t [";
        for (int k = 0; k < 10000; ++k)
            defaults += numbered("<!ATTLIST x a", k, " CDATA \"v\">");
        defaults += "]><t>" + QByteArray("<x/>").repeated(50000) + "</t>";
        QTest::newRow("attribute defaults") << defaults << kDocumentType;
        QTest::newRow("empty subset") << QByteArray("<!DOCTYPE t []><t/>") << kDocumentType;
        QTest::newRow("element declaration after a comment")
            << QByteArray(
                   "<?xml version=\"1.0\"?>\n<!-- a lesson -->\n"
                   "<!DOCTYPE t SYSTEM \"t.dtd\" [<!ELEMENT t ANY>]><t/>")
            << kDocumentType;
        QTest::newRow("entity behind a bracket in a comment and a literal")
            << QByteArray(
                   "<!DOCTYPE t [<!-- ] --><!ATTLIST t a CDATA \"]\">"
                   "<!ENTITY e \"x\">]><t>&e;</t>")
            << kEntities;
        QTest::newRow("the keyword after the subset is only text")
            << QByteArray("<!DOCTYPE t [<!ELEMENT t ANY>]><t><!-- <!ENTITY --></t>")
            << kDocumentType;
        QTextCodec* utf16 = QTextCodec::codecForName("UTF-16LE");
        QTest::newRow("UTF-16") << QByteArray("\xff\xfe", 2) +
                                       utf16->fromUnicode(
                                           QStringLiteral("<!DOCTYPE t [<!ENTITY e \"x\">]><t/>"))
                                << kEntities;
    }
    void declarationsAreRefusedWhereTheyBegin() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, reason);
        const double start = processorSeconds();
        QCOMPARE(trackdoc::refusalReason(xml), reason);
        const double spent = processorSeconds() - start;
        QVERIFY2(spent < kBoundSeconds, qPrintable(QString::number(spent)));
    }

    // Shapes a stream parser checks in time growing with their square, and
    // the largest track allowed; each passes or fails in one pass.
    void largeDocumentsTakeOnePass_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("reason");
        const auto attribute = [](int k) { return numbered(" a", k, "=\"\""); };
        QTest::newRow("attributes of one element")
            << filled("<t><x", attribute, "/></t>", kShapeBytes) << QString();
        const int prefixes = 30000;
        const auto prefixed = [&](int k) {
            if (k < prefixes)
                return numbered(" xmlns:p", k, "=\"urn:x\"");
            return k == prefixes ? QByteArray(">") : numbered("<p", k % prefixes, ":x/>");
        };
        QTest::newRow("namespace declarations and prefixed names")
            << filled("<t", prefixed, "</t>", kShapeBytes) << QString();
        const auto nest = [](int) {
            return QByteArray("<a>").repeated(trackdoc::kMaxDepth - 1) +
                   QByteArray("</a>").repeated(trackdoc::kMaxDepth - 1);
        };
        QTest::newRow("nesting at the limit, again and again")
            << filled("<t>", nest, "</t>", kShapeBytes) << QString();
        const auto entry = [](int k) {
            return numbered("<track><ticks>", k, "</ticks><picture>a.jpg</picture>") +
                   "<description>x &amp; y</description></track>\n";
        };
        QTest::newRow("entries") << filled("<track_info><tracks>", entry, "</tracks></track_info>",
                                           kShapeBytes)
                                 << QString();
        const QByteArray unclosed = filled(
            "<t>", [](int) { return QByteArray("<a b='>'/>\n"); }, "<b>", kShapeBytes);
        QTest::newRow("an unclosed element at the end")
            << unclosed
            << QStringLiteral("tracks.xml格式错误（第%1行）").arg(unclosed.count('\n') + 1);
    }
    void largeDocumentsTakeOnePass() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, reason);
        const double start = processorSeconds();
        QCOMPARE(trackdoc::refusalReason(xml), reason);
        const double spent = processorSeconds() - start;
        QVERIFY2(spent < kBoundSeconds, qPrintable(QString::number(spent)));
    }

    // Only elements count; what looks like a tag inside text, comments,
    // character data, instructions or attribute values does not.
    void depthFollowsTheMarkup_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("reason");
        const int limit = trackdoc::kMaxDepth;
        const QByteArray lookalikes =
            "<!-- <a><a> --><![CDATA[<a><a>]]><?p <a>?><e v='<a>' w=\"/>\"/>";
        QTest::newRow("the limit, with lookalikes at every level")
            << (lookalikes + "<a>").repeated(limit) + QByteArray("</a>").repeated(limit)
            << QString();
        QTest::newRow("one more than the limit, between comments")
            << QByteArray("<!-- x --><a>").repeated(limit + 1) << kTooDeep;
        QTest::newRow("empty elements do not nest")
            << "<t>" + QByteArray("<a/><b x='1' />").repeated(5000) + "</t>" << QString();
        // The declared encoding turns "+ADw-" into "<": the parser would see
        // 300 levels where the bytes show none.
        QTest::newRow("nesting spelt in a declared encoding")
            << "<?xml version=\"1.0\" encoding=\"UTF-7\"?>" +
                   QByteArray("+ADw-a+AD4-").repeated(300)
            << kTooDeep;
    }
    void depthFollowsTheMarkup() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, reason);
        if (xml.contains("UTF-7") && !QTextCodec::codecForName("UTF-7"))
            QSKIP("no UTF-7 codec in this Qt");
        QCOMPARE(trackdoc::refusalReason(xml), reason);
    }

    // Broken markup is named with the line where it is found.
    void brokenMarkupGivesItsLine_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unclosed comment")
            << QByteArray("<t>\n<a/>\n<!-- never closed\n</t>") << "tracks.xml格式错误（第3行）";
        QTest::newRow("end tag of another element")
            << QByteArray("<t>\n<a>\n</b>\n</t>") << "tracks.xml格式错误（第3行）";
        QTest::newRow("end tag without start")
            << QByteArray("<t/>\n\n</t>") << "tracks.xml格式错误（第3行）";
        QTest::newRow("unclosed literal")
            << QByteArray("<t>\n<a b=\"x>\n</a></t>") << "tracks.xml格式错误（第3行）";
        QTest::newRow("unclosed document type")
            << QByteArray("<!DOCTYPE t") << "tracks.xml格式错误（第1行）";
    }
    void brokenMarkupGivesItsLine() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, reason);
        QCOMPARE(trackdoc::refusalReason(xml), reason);
    }
};

QTEST_GUILESS_MAIN(DocumentGuard)
#include "tst_documentguard.moc"
