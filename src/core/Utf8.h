#pragma once

#include <QByteArrayView>
#include <QString>

QString textOfUtf8WithMark(QByteArrayView bytes);

// UTF-8 bytes as text, a leading byte-order mark kept as U+FEFF (QString::fromUtf8
// drops it). Invalid sequences become U+FFFD. Inline: it runs for every field
// of a large CSV listing.
inline QString textOfUtf8(QByteArrayView bytes) {
    const bool marked = bytes.size() >= 3 && bytes[0] == '\xEF' && bytes[1] == '\xBB' && bytes[2] == '\xBF';
    return marked ? textOfUtf8WithMark(bytes) : QString::fromUtf8(bytes);
}
