#include "core/Utf8.h"

#include <QStringDecoder>

QString textOfUtf8WithMark(QByteArrayView bytes) {
    return QStringDecoder(QStringDecoder::Utf8,
                          QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless)
        .decode(bytes);
}
