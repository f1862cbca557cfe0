#include "dialogs/phone_number.h"

#include <QLocale>
#include <QTest>

class TestPhoneNumber : public QObject {
    Q_OBJECT

private slots:
    void splitsByPositionOnly_data();
    void splitsByPositionOnly();
    void numericAsTheLocaleWritesNumbers_data();
    void numericAsTheLocaleWritesNumbers();
    void validNumbers_data();
    void validNumbers();
};

void TestPhoneNumber::splitsByPositionOnly_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("stdCode");
    QTest::addColumn<QString>("number");

    QTest::newRow("STD code with plus") << "+911234567890" << "+91" << "1234567890";
    QTest::newRow("11 characters") << "01234567899" << "0" << "1234567899";
    QTest::newRow("long STD code kept whole") << "+44 (0)20abcdefghij" << "+44 (0)20" << "abcdefghij";
    QTest::newRow("10 characters") << "1234567890" << "" << "";
    QTest::newRow("empty") << "" << "" << "";
}

void TestPhoneNumber::splitsByPositionOnly()
{
    QFETCH(QString, stored);
    QFETCH(QString, stdCode);
    QFETCH(QString, number);

    const PhoneNumberParts parts = splitPhoneNumber(stored);
    QCOMPARE(parts.stdCode, stdCode);
    QCOMPARE(parts.number, number);
    if (!stdCode.isEmpty())
        QCOMPARE(joinPhoneNumber(parts), stored);
}

void TestPhoneNumber::numericAsTheLocaleWritesNumbers_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);

    QTest::newRow("digits") << english << "0123" << true;
    QTest::newRow("plus sign") << english << "+91" << true;
    QTest::newRow("minus sign") << english << "-123456789" << true;
    QTest::newRow("blanks around") << english << " \t42 \t" << true;
    QTest::newRow("decimal point") << english << "12.5" << true;
    QTest::newRow("leading separator") << english << ".5" << true;
    QTest::newRow("trailing separator") << english << "5." << true;
    QTest::newRow("empty") << english << "" << false;
    QTest::newRow("letter") << english << "12a4" << false;
    QTest::newRow("inner blank") << english << "12 34" << false;
    QTest::newRow("blank after sign") << english << "- 5" << false;
    QTest::newRow("nan") << english << "nan" << false;
    QTest::newRow("inf") << english << "inf" << false;
    QTest::newRow("exponent") << english << "1e5" << false;
    QTest::newRow("hex prefix") << english << "0x12" << false;
    QTest::newRow("group separator") << english << "1,000" << false;
    QTest::newRow("two separators") << english << "1.2.3" << false;
    QTest::newRow("sign alone") << english << "+" << false;
    QTest::newRow("trailing sign") << english << "1-" << false;
    QTest::newRow("non-ASCII digits") << english << QString::fromUtf8("\u0661\u0662") << false;
    QTest::newRow("decimal comma") << german << "1,5" << true;
    QTest::newRow("point in a comma locale") << german << "1.5" << false;

    const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    QTest::newRow("locale's own minus sign") << swedish << swedish.negativeSign() + "7" << true;
}

void TestPhoneNumber::numericAsTheLocaleWritesNumbers()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(bool, numeric);

    QCOMPARE(isNumeric(text, locale), numeric);
}

void TestPhoneNumber::validNumbers_data()
{
    QTest::addColumn<QString>("stdCode");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("valid");

    QTest::newRow("signed number") << "0" << "-123456789" << true;
    QTest::newRow("number with separator") << "44" << "12345.6789" << true;
    QTest::newRow("blank before STD code") << " 91" << "1234567890" << true;
    QTest::newRow("11 characters") << "91" << "12345678901" << false;
}

void TestPhoneNumber::validNumbers()
{
    QFETCH(QString, stdCode);
    QFETCH(QString, number);
    QFETCH(bool, valid);

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(isValidPhoneNumber({stdCode, number}, english), valid);
}

QTEST_APPLESS_MAIN(TestPhoneNumber)
#include "test_phone_number.moc"
