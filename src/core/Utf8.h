#pragma once

#include <QByteArrayView>
#include <QString>

// UTF-8 bytes as text, a leading byte-order mark kept as U+FEFF (QString::fromUtf8
// drops it). Invalid sequences become U+FFFD.
QString textOfUtf8(QByteArrayView bytes);
