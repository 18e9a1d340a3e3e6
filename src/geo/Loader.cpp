#include <dlfcn.h>

#include "Library.h"

namespace geo {

platform::Result<const Library*> LoadLibrary() {
    // Found through the programs' run path: beside the module's build in the
    // build tree, in the package's library folder once installed.
    static const platform::Result<const Library*> loaded = []() -> platform::Result<const Library*> {
        void* module = ::dlopen("libplandrel-geo.so", RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            return platform::Error{std::string("GDAL cannot be loaded (") + ::dlerror() + ")"};
        }
        auto entry = reinterpret_cast<GeoEntry>(::dlsym(module, PLANDREL_GEO_ENTRY));
        if (entry == nullptr) {
            return platform::Error{std::string("GDAL cannot be loaded (") + ::dlerror() + ")"};
        }
        return entry();
    }();
    return loaded;
}

}  // namespace geo
