#pragma once

#include "folderfiles.h"

#include <QString>

namespace ImageStore {

// Stores the picture at source as target. A PNG, JPEG or BMP picture within the pixel limit is
// re-encoded in the format named by the target's suffix ("jpg"/"jpeg", "png", "bmp"; anything else
// as PNG); any other file is copied byte for byte. The source is read only when it is a regular
// file of at most FolderFiles::Limits::PictureBytes; links says whether a symlink is followed
// (Follow for a file the user chose, Refuse for a definition folder's own picture). The target
// must not be a symlink or special file. On failure returns false with a French error text.
bool storeImage(const QString& source, const QString& target, QString* error = nullptr,
                FolderFiles::Links links = FolderFiles::Links::Follow);

} // namespace ImageStore
