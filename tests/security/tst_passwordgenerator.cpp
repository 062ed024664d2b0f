#include "security/PasswordGenerator.h"

#include <QSet>
#include <QtTest>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QString upper = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s;
const QString lower = u"abcdefghijklmnopqrstuvwxyz"_s;
const QString digits = u"0123456789"_s;
const QString symbols = u"!@#$"_s;

bool hasOneOf(const QString &text, const QString &alphabet) {
    return std::any_of(text.cbegin(), text.cend(), [&alphabet](QChar c) { return alphabet.contains(c); });
}

// Hands out the given values in turn, counting how many were asked for.
struct ScriptedDraw {
    QList<quint32> values;
    int taken = 0;
    quint32 operator()() { return values.at(taken++ % values.size()); }
};

} // namespace

// The generated passwords: unbiased draws from the system's secure source,
// every class present, and a shuffle that reaches every order.
class PasswordGeneratorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void uniformBelow_rejectsTheBiasedTopRange();
    void uniformBelow_acceptsEveryValueBelowTheCutoff();
    void shuffle_everyOrderComesFromExactlyOneDrawSequence();
    void password_classGuaranteesHoldOverManyDraws();
    void password_firstFourAreNotAlwaysInClassOrder();
    void password_charactersSpreadEvenly();
};

void PasswordGeneratorTest::uniformBelow_rejectsTheBiasedTopRange() {
    // 2^32 = 65075262 * 66 + 4: the four values from 4294967292 up would favour 0..3.
    constexpr quint32 max = std::numeric_limits<quint32>::max();
    ScriptedDraw draw{{max, max - 3, 4294967292u, 70}};
    QCOMPARE(uniformBelow(66, std::ref(draw)), 70u % 66u);
    QCOMPARE(draw.taken, 4);
    // Powers of two have no biased range: nothing is ever rejected.
    ScriptedDraw top{{max}};
    QCOMPARE(uniformBelow(16, std::ref(top)), 15u);
    QCOMPARE(top.taken, 1);
}

void PasswordGeneratorTest::uniformBelow_acceptsEveryValueBelowTheCutoff() {
    ScriptedDraw draw{{4294967291u, 0u, 65u, 66u}};
    QCOMPARE(uniformBelow(66, std::ref(draw)), 4294967291u % 66u);
    QCOMPARE(uniformBelow(66, std::ref(draw)), 0u);
    QCOMPARE(uniformBelow(66, std::ref(draw)), 65u);
    QCOMPARE(uniformBelow(66, std::ref(draw)), 0u);
    QCOMPARE(draw.taken, 4);
}

void PasswordGeneratorTest::shuffle_everyOrderComesFromExactlyOneDrawSequence() {
    // Four characters take draws below 4, 3 and 2: 24 sequences for 24 orders.
    QSet<QString> orders;
    for (quint32 a = 0; a < 4; ++a)
        for (quint32 b = 0; b < 3; ++b)
            for (quint32 c = 0; c < 2; ++c) {
                ScriptedDraw draw{{a, b, c}};
                QString text = u"ABCD"_s;
                shuffleCharacters(text, std::ref(draw));
                QCOMPARE(draw.taken, 3);
                orders.insert(text);
            }
    QCOMPARE(orders.size(), 24);
}

void PasswordGeneratorTest::password_classGuaranteesHoldOverManyDraws() {
    const QString all = upper + lower + digits + symbols;
    QSet<QString> seen;
    for (int i = 0; i < 5000; ++i) {
        const QString password = generatePassword();
        QCOMPARE(password.size(), 16);
        QVERIFY2(std::all_of(password.cbegin(), password.cend(), [&all](QChar c) { return all.contains(c); }),
                 qPrintable(password));
        QVERIFY(hasOneOf(password, upper));
        QVERIFY(hasOneOf(password, lower));
        QVERIFY(hasOneOf(password, digits));
        QVERIFY(hasOneOf(password, symbols));
        seen.insert(password);
    }
    QCOMPARE(seen.size(), 5000);
}

void PasswordGeneratorTest::password_firstFourAreNotAlwaysInClassOrder() {
    int inClassOrder = 0;
    for (int i = 0; i < 200; ++i) {
        const QString p = generatePassword();
        if (upper.contains(p[0]) && lower.contains(p[1]) && digits.contains(p[2]) && symbols.contains(p[3]))
            ++inClassOrder;
    }
    // Shuffled, about 0.3 % of passwords begin in class order by chance.
    QVERIFY2(inClassOrder < 20, qPrintable(QString::number(inClassOrder)));
}

void PasswordGeneratorTest::password_charactersSpreadEvenly() {
    // 20,000 passwords: every one of the 66 characters is drawn, no letter strays
    // far from the letters' average, and the four symbols, one of which every
    // password holds, come about twice as often as a letter.
    QHash<QChar, int> counts;
    for (int i = 0; i < 20000; ++i)
        for (const QChar c : generatePassword())
            ++counts[c];
    QCOMPARE(counts.size(), 66);
    const QString letterAlphabet = upper + lower;
    double letters = 0;
    for (const QChar c : letterAlphabet)
        letters += counts.value(c);
    const double average = letters / 52;
    for (const QChar c : letterAlphabet)
        QVERIFY2(std::abs(counts.value(c) - average) < average * 0.15, qPrintable(QString(c)));
    for (const QChar c : symbols)
        QVERIFY(counts.value(c) > average * 1.7 && counts.value(c) < average * 2.3);
}

QTEST_GUILESS_MAIN(PasswordGeneratorTest)
#include "tst_passwordgenerator.moc"
