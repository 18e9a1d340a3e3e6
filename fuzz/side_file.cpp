// Fuzz target: the text of a side file, two lines of "latitude,longitude".
#include <string_view>

#include "FuzzSupport.h"
#include "palm/MapLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    palm::ReadSideText(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
