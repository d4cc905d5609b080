// SPDX-License-Identifier: MIT
#include "sources/videoid.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestVideoID : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void extract_data();
    void extract();
    void trimsExactlyTheWhiteSpaceSet_data();
    void trimsExactlyTheWhiteSpaceSet();
    void anyTextYieldsAValidIdOrNothing();
};

void TestVideoID::extract_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id"); // empty: nothing

    const QString id = u"dQw4w9WgXcQ"_s;
    QTest::newRow("bare id") << id << id;
    QTest::newRow("bare id, spaces and line break around") << u"  \t"_s + id + u"\n"_s << id;
    QTest::newRow("bare id with - and _, case kept") << u"a-B_c9-Z_x0"_s << u"a-B_c9-Z_x0"_s;
    QTest::newRow("only white space") << u" \t\r\n "_s << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("10 id characters") << u"dQw4w9WgXc"_s << QString();
    QTest::newRow("12 id characters") << u"dQw4w9WgXcQQ"_s << QString();
    QTest::newRow("11 characters with an accented letter") << u"dQw4w9WgXcé"_s << QString();

    QTest::newRow("watch") << u"https://www.youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, no scheme") << u"youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, http") << u"http://youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, odd scheme") << u"ftp://youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, host in capitals") << u"HTTPS://WWW.YouTube.COM/watch?v="_s + id << id;
    QTest::newRow("watch, mobile host") << u"https://m.youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, www. then m.") << u"https://www.m.youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, m. then www.") << u"https://m.www.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("watch, www.www.") << u"https://www.www.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("watch, music host") << u"https://music.youtube.com/watch?v="_s + id << id;
    QTest::newRow("watch, nocookie host") << u"https://www.youtube-nocookie.com/watch?v="_s + id << id;
    QTest::newRow("watch, v after other items") << u"https://youtube.com/watch?feature=share&v="_s + id + u"&t=42"_s << id;
    QTest::newRow("watch, first v wins") << u"https://youtube.com/watch?v="_s + id + u"&v=AAAAAAAAAAA"_s << id;
    QTest::newRow("watch, empty first v") << u"https://youtube.com/watch?v=&v="_s + id << QString();
    QTest::newRow("watch, first v without value") << u"https://youtube.com/watch?v&v="_s + id << QString();
    QTest::newRow("watch, no query") << u"https://youtube.com/watch"_s << QString();
    QTest::newRow("watch, V in capitals") << u"https://youtube.com/watch?V="_s + id << QString();
    QTest::newRow("Watch in capitals") << u"https://youtube.com/Watch?v="_s + id << QString();
    QTest::newRow("watch, extra segments") << u"https://youtube.com/watch/extra?v="_s + id << id;
    QTest::newRow("watch, percent-encoded v value") << u"https://youtube.com/watch?v=dQw4w9WgX%63Q"_s << id;
    QTest::newRow("watch, fragment") << u"https://youtube.com/watch?v="_s + id + u"#t=30"_s << id;
    QTest::newRow("watch, port and user info") << u"https://user:pw@youtube.com:8443/watch?v="_s + id << id;
    QTest::newRow("watch, v of 12 characters") << u"https://youtube.com/watch?v=dQw4w9WgXcQQ"_s << QString();
    QTest::newRow("watch, v holding a dot") << u"https://youtube.com/watch?v=dQw4w9WgX.Q"_s << QString();
    QTest::newRow("watch, v decoding to a percent sign") << u"https://youtube.com/watch?v=dQw4w9WgX%25Q"_s << QString();

    QTest::newRow("short link") << u"https://youtu.be/"_s + id << id;
    QTest::newRow("short link, query") << u"https://youtu.be/"_s + id + u"?t=42&si=abc"_s << id;
    QTest::newRow("short link, no scheme") << u"youtu.be/"_s + id << id;
    QTest::newRow("short link, doubled slashes") << u"https://youtu.be//"_s + id + u"//x"_s << id;
    QTest::newRow("short link, no segment") << u"https://youtu.be/"_s << QString();
    QTest::newRow("short link, percent-encoded id") << u"https://youtu.be/%64Qw4w9WgXcQ"_s << id;
    QTest::newRow("short link, escape decoding to /") << u"https://youtu.be/abc%2F"_s + id << QString();

    QTest::newRow("shorts") << u"https://youtube.com/shorts/"_s + id << id;
    QTest::newRow("shorts, third segment") << u"https://youtube.com/shorts/"_s + id + u"/more"_s << id;
    QTest::newRow("shorts, no second segment") << u"https://youtube.com/shorts/"_s << QString();
    QTest::newRow("Shorts in capitals") << u"https://youtube.com/Shorts/"_s + id << QString();
    QTest::newRow("embed") << u"https://www.youtube-nocookie.com/embed/"_s + id + u"?autoplay=1"_s << id;
    QTest::newRow("live") << u"https://youtube.com/live/"_s + id << id;
    QTest::newRow("v") << u"https://youtube.com/v/"_s + id << id;
    QTest::newRow("unknown first segment") << u"https://youtube.com/channel/"_s + id << QString();
    QTest::newRow("primary domain, no segment") << u"https://youtube.com/?v="_s + id << QString();

    QTest::newRow("other host") << u"https://example.com/watch?v="_s + id << QString();
    QTest::newRow("look-alike host") << u"https://notyoutube.com/watch?v="_s + id << QString();
    QTest::newRow("subdomain of a recognised host") << u"https://x.youtu.be/"_s + id << QString();
    QTest::newRow("no scheme, :// in the query")
        << u"youtube.com/watch?v="_s + id + u"&next=https://example.com"_s << QString();
    QTest::newRow("IPv6 host") << u"https://[::1]/watch?v="_s + id << QString();
}

void TestVideoID::extract()
{
    QFETCH(QString, text);
    QFETCH(QString, id);
    QCOMPARE(vireo::VideoID::extract(text).value_or(QString()), id);
}

void TestVideoID::trimsExactlyTheWhiteSpaceSet_data()
{
    QTest::addColumn<char32_t>("ch");
    QTest::addColumn<bool>("trimmed");
    QTest::newRow("tab") << U'\t' << true;
    for (char32_t c = 0x0A; c <= 0x0D; ++c)
        QTest::addRow("U+%04X", unsigned(c)) << c << true;
    QTest::newRow("NEL U+0085") << char32_t(0x85) << true;
    QTest::newRow("space") << U' ' << true;
    QTest::newRow("no-break space") << char32_t(0xA0) << true;
    QTest::newRow("ideographic space (Zs)") << char32_t(0x3000) << true;
    QTest::newRow("line separator (Zl)") << char32_t(0x2028) << true;
    QTest::newRow("paragraph separator (Zp)") << char32_t(0x2029) << true;
    QTest::newRow("zero width space (Cf)") << char32_t(0x200B) << false;
    QTest::newRow("byte order mark (Cf)") << char32_t(0xFEFF) << false;
    QTest::newRow("NUL") << char32_t(0) << false;
    QTest::newRow("U+0008") << char32_t(0x08) << false;
    QTest::newRow("U+001F") << char32_t(0x1F) << false;
}

void TestVideoID::trimsExactlyTheWhiteSpaceSet()
{
    QFETCH(char32_t, ch);
    QFETCH(bool, trimmed);
    const QString pad{QChar(char16_t(ch))}; // fromUcs4 would swallow a BOM
    const QString id = u"dQw4w9WgXcQ"_s;
    QCOMPARE(vireo::VideoID::extract(pad + id + pad).has_value(), trimmed);
}

void TestVideoID::anyTextYieldsAValidIdOrNothing()
{
    QStringList inputs = {
        QString(u'\xD800') + u"dQw4w9WgXcQ"_s,             // lone high surrogate
        u"https://youtu.be/"_s + QChar(0xDC00) + u"x"_s,     // lone low surrogate
        u"https://youtu.be/\x01\x02\x7f"_s,
        u"https://youtube.com/watch?v=%C3%A9%C3%A9%C3%A9%C3%A9%C3%A9%C3%A9"_s,
        u"https://youtube.com/watch?v=%00%00%00%00%00%00%00%00%00%00%00"_s,
        u"://"_s,
        u"https://"_s,
        u"[::1"_s,
        u"%"_s,
        QString(2 * 1024 * 1024, u'a'),
        u"https://youtu.be/"_s + QString(1024 * 1024, u'/'),
        u"https://youtube.com/watch?"_s + QString(200000, u'&') + u"v=dQw4w9WgXcQ"_s,
    };
    for (const QString &text : std::as_const(inputs)) {
        const auto id = vireo::VideoID::extract(text);
        if (id)
            QVERIFY2(vireo::VideoID::isValid(*id), qPrintable(*id));
    }
    QCOMPARE(vireo::VideoID::extract(inputs.last()).value_or(QString()), u"dQw4w9WgXcQ"_s);
}

QTEST_GUILESS_MAIN(TestVideoID)
#include "tst_videoid.moc"
