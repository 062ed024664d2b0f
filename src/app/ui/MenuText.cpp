#include "app/ui/MenuText.h"

using namespace Qt::StringLiterals;

QString escapeMnemonics(const QString &userText) {
    QString text = userText;
    return text.replace(u'&', u"&&"_s);
}
