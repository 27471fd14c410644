#include "import/PageText.h"
#include "ResultsPages.h"

#include <QDir>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

class PageTextTest : public QObject {
    Q_OBJECT
private slots:
    void matchesChromium_data();
    void matchesChromium();
    void contentTypeCharsetDecodesThePage();
    void deepNestingIsRefused();
    void largePagesAreReadOrRefused_data();
    void largePagesAreReadOrRefused();
    void plainTextAndEmptyInput_data();
    void plainTextAndEmptyInput();
};

void PageTextTest::matchesChromium_data() {
    QTest::addColumn<QString>("page");
    const QDir dir(QStringLiteral(QUORVEX_FIXTURE_DIR));
    const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QVERIFY(pages.size() >= 9);
    for (const QString& page : pages)
        QTest::newRow(qPrintable(page)) << page;
}

// Each fixture page's text is what headless Chromium gave as body.innerText.
void PageTextTest::matchesChromium() {
    QFETCH(QString, page);
    const QString expected = QString::fromUtf8(
        fixture(QString(page).replace(QStringLiteral(".html"), QStringLiteral(".txt"))));
    const QString actual = pageInnerText(fixture(page));
    if (actual != expected) {
        qsizetype at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
            ++at;
        qWarning() << "first difference at" << at << "expected" << expected.mid(at - 20, 60)
                   << "actual" << actual.mid(at - 20, 60);
    }
    QCOMPARE(actual, expected);
}

void PageTextTest::contentTypeCharsetDecodesThePage() {
    // A GBK page that does not say so itself: the HTTP header's charset decides.
    const QByteArray gbk = QByteArray("<html><body><p>2013001 13-01-01 \xD6\xDC\xB6\xFE 01</p>"
                                      "</body></html>");
    QCOMPARE(pageInnerText(gbk, "text/html; charset=GBK"),
             QStringLiteral("2013001 13-01-01 周二 01"));
    // The header wins over a <meta> that names another charset.
    QCOMPARE(
        pageInnerText("<meta charset=\"gbk\"><body>\xE5\x91\xA8</body>", "text/html;charset=utf-8"),
        QStringLiteral("周"));
}

void PageTextTest::deepNestingIsRefused() {
    QString error;
    const QByteArray deep =
        QByteArray("<div>").repeated(kMaxPageNesting) + "2013001" + QByteArray("</div>");
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(pageInnerText(deep, {}, &error), QString());
    QVERIFY(error.contains(QString::number(kMaxPageNesting)));
    QVERIFY(timer.elapsed() < 2000);

    // Just below the bound, and deep lists of elements that close themselves, still read.
    error.clear();
    const QByteArray fine = QByteArray("<div>").repeated(kMaxPageNesting - 10) +
                            QByteArray("<td>x<br><img>").repeated(5000) + "2013001";
    QVERIFY(pageInnerText(fine, {}, &error).endsWith(QStringLiteral("2013001")));
    QVERIFY(error.isEmpty());
}

void PageTextTest::largePagesAreReadOrRefused_data() {
    QTest::addColumn<QByteArray>("markup"); // repeated to the size
    QTest::addColumn<int>("kilobytes");
    QTest::addColumn<bool>("read");
    // Little but tags takes far more than its size in parsed nodes; text does not.
    const QByteArray tags("<b>x</b><i>y</i>\n");
    QTest::newRow("512 KB of tags") << tags << 512 << true;
    QTest::newRow("6 MB of tags") << tags << 6 * 1024 << false;
    QTest::newRow("6 MB of rows") << QByteArray(
                                         "<div><span>1999001</span><span>99-01-01</span></div>\n")
                                  << 6 * 1024 << false;
    QTest::newRow("6 MB of paragraphs")
        << QByteArray("<p>").append(QByteArray("lorem ipsum ").repeated(20)).append("</p>\n")
        << 6 * 1024 << true;
}

// Parsing a page is held to a few times its size: beyond that it is refused, not read at any
// cost.
void PageTextTest::largePagesAreReadOrRefused() {
    QFETCH(QByteArray, markup);
    QFETCH(int, kilobytes);
    QFETCH(bool, read);
    const QByteArray page =
        "<body>" + markup.repeated(kilobytes * 1024 / markup.size()) + "2013001</body>";
    QString error;
    const QString text = pageInnerText(page, {}, &error);
    QCOMPARE(error.isEmpty(), read);
    QCOMPARE(text.endsWith(QStringLiteral("2013001")), read);
    if (!read)
        QVERIFY2(error.contains(QStringLiteral("MB")), qPrintable(error));
}

void PageTextTest::plainTextAndEmptyInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("no markup") << QByteArray("  2013001\n 03  07 ")
                               << QStringLiteral("2013001 03 07");
    QTest::newRow("binary") << QByteArray("\x00\x01\xFF<\x00>", 6) << QString();
    QTest::newRow("frameset") << QByteArray("<frameset><frame src=a></frameset>") << QString();
    QTest::newRow("unclosed comment") << QByteArray("<body>a<!-- b") << QStringLiteral("a");
    // UTF-8 is parsed as it comes only when it is valid and has no byte order mark; otherwise
    // Qt's decoder replaces each bad byte, as it always has.
    QTest::newRow("byte order mark")
        << QByteArray("\xEF\xBB\xBF<body>\xE5\x91\xA8</body>") << QStringLiteral("周");
    QTest::newRow("invalid UTF-8") << QByteArray("<body>a\xFF\xE5\x91"
                                                 "b</body>")
                                   << QStringLiteral("a\uFFFD\uFFFD\uFFFDb");
}

void PageTextTest::plainTextAndEmptyInput() {
    QFETCH(QByteArray, input);
    QFETCH(QString, text);
    if (QTest::currentDataTag() == QLatin1String("binary")) {
        // Whatever the bytes, the parse ends and gives some text without the control bytes.
        QVERIFY(!pageInnerText(input).contains(QChar(1)));
        return;
    }
    QCOMPARE(pageInnerText(input), text);
}

QTEST_GUILESS_MAIN(PageTextTest)
#include "tst_pagetext.moc"
