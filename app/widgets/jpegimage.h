#pragma once

// Decodes a JPEG picture held in memory with libjpeg-turbo. A damaged or truncated picture
// gives a null image, never a crash.

#include <QByteArray>
#include <QImage>

namespace qm {

QImage DecodeJpeg(const QByteArray& data);

} // namespace qm
