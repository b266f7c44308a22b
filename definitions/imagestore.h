#pragma once

#include <QString>

namespace ImageStore {

// Stores the picture at source as target. An image is re-encoded in the format named by the
// target's suffix ("jpg"/"jpeg", "png", "bmp"; anything else as PNG); a file that is not an image
// is copied byte for byte. On failure returns false with a French error text.
bool storeImage(const QString& source, const QString& target, QString* error = nullptr);

} // namespace ImageStore
