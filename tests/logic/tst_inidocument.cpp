#include "settings/IniDocument.h"

#include "support/TestMain.h"

#include <QRandomGenerator>

#include <climits>

using quenterra::IniDocument;

namespace {

// A byte string literal that may hold NULs.
template <qsizetype N>
QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

}  // namespace

class TestIniDocument : public QObject {
    Q_OBJECT

private slots:
    // All rows read K in section S.
    void readsValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("blanks trimmed") << raw(" [ S ] x\n \tK \t= 7 \t\r\n") << raw("7");
        QTest::newRow("CRLF, no final line end") << raw("[S]\r\nK=v\r\nL=w") << raw("v");
        QTest::newRow("value with = and NUL") << raw("[S]\nK=a=\0\n") << raw("a=\0");
        QTest::newRow("empty value") << raw("[S]\nK=\r\n") << raw("");
        QTest::newRow("missing section") << raw("[T]\nK=1\n") << raw("(missing)");
        QTest::newRow("missing key") << raw("[S]\nL=1\n") << raw("(missing)");
        QTest::newRow("key of the next section") << raw("[S]\n[T]\nK=1\n") << raw("(missing)");
        QTest::newRow("key before any header") << raw("K=1\n[S]\n") << raw("(missing)");
        QTest::newRow("ASCII case ignored") << raw("[s]\nk=5\n") << raw("5");
        QTest::newRow("first key wins") << raw("[S]\nK=1\nk=2\n") << raw("1");
        QTest::newRow("first section wins") << raw("[S]\n[s]\nK=2\n") << raw("(missing)");
        QTest::newRow("comments") << raw(";[T]\n[S]\n;K=1\n #K=2\nK=3\n") << raw("3");
        QTest::newRow("byte order mark") << raw("\xEF\xBB\xBF[S]\nK=1\n") << raw("1");
        QTest::newRow("[ without ]") << raw("[T]\nK=1\n[S\nK=2\n") << raw("(missing)");
        QTest::newRow("old Mac line ends") << raw("[S]\rL=2\rK=1\r") << raw("1");
    }

    void readsValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(IniDocument(bytes).value("S", "K").value_or("(missing)"), expected);
    }

    void parsesIntegers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint32>("expected");
        for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, qint32>>{
                 {"12", 12},
                 {" \t12", 12},
                 {"+7", 7},
                 {"-3", -3},
                 {"abc", 0},
                 {"12abc", 12},
                 {"", 0},
                 {"- 3", 0},
                 {"-2147483648", INT_MIN},
                 {"2147483648", INT_MAX},
                 {"99999999999999999999", INT_MAX},
                 {"-99999999999999999999", INT_MIN},
                 {"\"2027\"", 2027},
                 {"'-7'", -7},
                 {"\"7'", 0},
                 {"\"\"", 0},
                 {"0x7EB", 2027},
                 {"-0x1f", -31},
                 {"0o17", 15},
                 {"0b101", 5},
                 {"0b2", 0},
                 {"0X7", 0},
             }) {
            QTest::addRow("\"%s\"", text) << QByteArray(text) << expected;
        }
    }

    void parsesIntegers()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint32, expected);
        QCOMPARE(quenterra::ParseProfileInt(text), expected);
    }

    // All rows set K in section S to 2.
    void writesOnlyTheKeysLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replace, CRLF")
            << raw("[S]\r\nK=1\r\n[T]\r\nK=1\r\n") << raw("[S]\r\nK=2\r\n[T]\r\nK=1\r\n");
        QTest::newRow("replace, spelling and blanks kept")
            << raw("[s]\n  k \t= 1 \t\r\n") << raw("[s]\n  k \t= 2 \t\r\n");
        QTest::newRow("replace, rest kept")
            << raw("; \xE9\nX=0\n[Other]\nK=1\n\n [S] ; c\n# K=9\nK=old\n\xE4=\xC3\0\n")
            << raw("; \xE9\nX=0\n[Other]\nK=1\n\n [S] ; c\n# K=9\nK=2\n\xE4=\xC3\0\n");
        QTest::newRow("replace blank value") << raw("[S]\nK= \r\n") << raw("[S]\nK= 2\r\n");
        QTest::newRow("replace first only")
            << raw("[S]\nK=1\nK=1\n[S]\nK=1") << raw("[S]\nK=2\nK=1\n[S]\nK=1");
        QTest::newRow("new key after last key")
            << raw("[S]\nA=1\n\n; c\n[T]\n") << raw("[S]\nA=1\nK=2\n\n; c\n[T]\n");
        QTest::newRow("new key after header") << raw("[S]\n\n[T]\n") << raw("[S]\nK=2\n\n[T]\n");
        QTest::newRow("new key, no final line end")
            << raw("[S]\r\nA=1") << raw("[S]\r\nA=1\r\nK=2\r\n");
        QTest::newRow("new section") << raw("[T]\nA=1\n") << raw("[T]\nA=1\n[S]\nK=2\n");
        QTest::newRow("new key, old Mac line ends")
            << raw("[S]\rA=1\r[T]\r") << raw("[S]\rA=1\rK=2\r[T]\r");
        QTest::newRow("new section, old Mac line ends")
            << raw("[T]\rA=1") << raw("[T]\rA=1\r[S]\rK=2\r");
        QTest::newRow("new section, first line end counts")
            << raw("[T]\r\nA=1\nB=2") << raw("[T]\r\nA=1\nB=2\r\n[S]\r\nK=2\r\n");
    }

    void writesOnlyTheKeysLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        IniDocument document(before);
        document.setValue("S", "K", "2");
        QCOMPARE(document.bytes(), after);
    }

    void refusesWhatCannotBeReadBack_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("] in section") << raw("a]b") << raw("K") << raw("1");
        QTest::newRow("empty key") << raw("S") << raw("") << raw("1");
        QTest::newRow("= in key") << raw("S") << raw("a=b") << raw("1");
        QTest::newRow("comment key") << raw("S") << raw(";K") << raw("1");
        QTest::newRow("line feed in text") << raw("S") << raw("K") << raw("1\n[T]");
        QTest::newRow("CR in text") << raw("S") << raw("K") << raw("1\r2");
    }

    void refusesWhatCannotBeReadBack()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, text);
        QVERIFY(!IniDocument::canStore(section, key, text));
        IniDocument document("[S]\nK=0\n");
        document.setValue(section, key, text);
        QCOMPARE(document.bytes(), QByteArray("[S]\nK=0\n"));
    }

    // Whatever the file holds, a write reads back, replaces bytes within one line only (or inserts
    // whole lines), and leaves every other value as it was.
    void writesAnyFileSafely()
    {
        const QList<QByteArray> pieces = {"[S]",  "[ s ]", "K=1", " k = 2",  ";K=3",
                                          "[",    "]",     "=",   "\r",      "\n",
                                          "\r\n", " ",     "x",   raw("\0"), "\xEF\xBB\xBF"};
        const QList<QByteArray> sections = {"S", "T"};
        const QList<QByteArray> keys = {"K", "L"};
        const QList<QByteArray> texts = {"1", "=", "\xE9"};
        QRandomGenerator random(2012);
        const auto pick = [&random](const QList<QByteArray>& list) {
            return list[random.bounded(static_cast<int>(list.size()))];
        };
        for (int round = 0; round < 3000; ++round) {
            QByteArray before;
            for (int i = random.bounded(14); i > 0; --i) {
                before += pick(pieces);
            }
            const QByteArray section = pick(sections);
            const QByteArray key = pick(keys);
            const QByteArray text = pick(texts);
            IniDocument document(before);
            document.setValue(section, key, text);
            const QByteArray& after = document.bytes();
            const QByteArray context = before.toPercentEncoding();
            QVERIFY2(document.value(section, key) == text, context.constData());

            qsizetype prefix = 0;
            qsizetype suffix = 0;
            while (prefix < qMin(before.size(), after.size()) && before[prefix] == after[prefix]) {
                ++prefix;
            }
            while (prefix + suffix < qMin(before.size(), after.size()) &&
                   before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
                ++suffix;
            }
            QVERIFY2(!before.sliced(prefix, before.size() - prefix - suffix).contains('\n'),
                     context.constData());
            for (const QByteArray& otherSection : sections) {
                for (const QByteArray& otherKey : keys) {
                    const bool edited = otherSection == section && otherKey == key;
                    QVERIFY2(edited || document.value(otherSection, otherKey) ==
                                           IniDocument(before).value(otherSection, otherKey),
                             context.constData());
                }
            }
        }
    }
};

QUENTERRA_TEST_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
