#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/Files.h"

namespace view {

// The bitmap an import writes beside a picture that is no Windows bitmap. It
// is made only where no file of that name exists: a file that holds the same
// bytes is left as it is and needs no word; any other file is never touched.
struct BesideBitmap {
    bool made = false;                  // a new file, which the import may take back
    std::optional<std::string> notice;  // why the bitmap is not there, for the user
};

BesideBitmap WriteBesideBitmap(const std::string& path, std::span<const platform::ByteSpan> parts);

}  // namespace view
