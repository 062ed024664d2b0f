#include "tabs/ListValues.h"

#include "core/SpaceTrim.h"

static bool isNewline(QChar c) {
    switch (c.unicode()) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QStringList splitListValues(const QString &text) {
    QStringList values;
    qsizetype start = 0;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i <= length; ++i) {
        if (i < length && !isNewline(text.at(i)))
            continue;
        const QString piece = trimSpacesAndTabs(text.mid(start, i - start));
        if (!piece.isEmpty())
            values.append(piece);
        start = i + 1;
    }
    return values;
}
