#include "Args.h"

using namespace Qt::StringLiterals;

QString keyword(const QString &token) {
    return token.toLower().remove(u'_');
}

bool Args::take(const QString &kw) {
    if (atEnd() || keyword(peek()) != kw)
        return false;
    ++m_pos;
    return true;
}

QString Args::next(const QString &expected) {
    if (atEnd())
        missing(expected);
    return m_argv.at(m_pos++);
}

QString Args::nextChoice(const QStringList &choices) {
    const QString expected = u"<"_s + choices.join(u'|') + u">"_s;
    if (atEnd())
        missing(expected);
    const QString kw = peekKeyword();
    if (!choices.contains(kw))
        throw UsageError{u"Invalid choice ("_s + peek() + u"): Expected "_s + expected, m_pos};
    ++m_pos;
    return kw;
}

int Args::nextInt(const QString &expected) {
    if (atEnd())
        missing(expected);
    bool ok = false;
    const int value = peek().toInt(&ok);
    if (!ok || value < 0)
        throw UsageError{u"Invalid argument: Expected "_s + expected, m_pos};
    ++m_pos;
    return value;
}

void Args::unknown() const {
    throw UsageError{u"Unknown argument"_s, m_pos};
}

void Args::missing(const QString &expected) const {
    throw UsageError{u"Missing argument: Expected "_s + expected, int(m_argv.size())};
}
