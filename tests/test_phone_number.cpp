#include "dialogs/phone_number.h"

#include <QLocale>
#include <QTest>

class TestPhoneNumber : public QObject {
    Q_OBJECT

    const QLocale english{QLocale::English, QLocale::UnitedStates};

private slots:
    void splitsByPositionOnly_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("parts");  // STD code, number
        QTest::newRow("STD code with plus") << "+911234567890" << QStringList{"+91", "1234567890"};
        QTest::newRow("11 characters") << "01234567899" << QStringList{"0", "1234567899"};
        QTest::newRow("long STD code kept whole") << "+44 (0)20abcdefghij" << QStringList{"+44 (0)20", "abcdefghij"};
        QTest::newRow("10 characters") << "1234567890" << QStringList{"", ""};
    }

    void splitsByPositionOnly()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, parts);
        const PhoneNumberParts split = splitPhoneNumber(stored);
        QCOMPARE(QStringList({split.stdCode, split.number}), parts);
    }

    void numericAsTheLocaleWritesNumbers_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        const QLocale german(QLocale::German, QLocale::Germany), swedish(QLocale::Swedish, QLocale::Sweden);
        QTest::newRow("plus, leading separator") << english << "+.5" << true;
        QTest::newRow("blanks around, minus, trailing separator") << english << " \t-5. \t" << true;
        QTest::newRow("decimal comma") << german << "1,5" << true;
        QTest::newRow("point in a comma locale") << german << "1.5" << false;
        QTest::newRow("locale's own minus sign") << swedish << swedish.negativeSign() + "7" << true;
        // Each fails on its own: blanks inside, what toDouble would take, a lone sign, non-ASCII digits.
        for (const char *text : {"12 34", "- 5", "nan", "inf", "1e5", "0x12", "1,000", "1.2.3", "+", "\u0661\u0662"})
            QTest::newRow(text) << english << QString::fromUtf8(text) << false;
    }

    void numericAsTheLocaleWritesNumbers()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(isNumeric(text, locale), numeric);
    }

    // The editor's typing limit never lets an 11-character number through, so it is checked here.
    void validNumbers()
    {
        QVERIFY(isValidPhoneNumber({" 91", "12345.6789"}, english));
        QVERIFY(!isValidPhoneNumber({"91", "12345678901"}, english));
    }
};

QTEST_APPLESS_MAIN(TestPhoneNumber)
#include "test_phone_number.moc"
