#include "CoreDialogs.h"

std::optional<ShownDialog> BuildDialog(platform::CDialog&, QWidget*) {
    return std::nullopt;
}
