#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <vector>

#include "Library.h"

namespace geo {

namespace {

constexpr const char* kModule = "libplandrel-geo.so";

// Where the program looks for libraries of its own: its run path (the
// module's build folder in the build tree, its library folder once installed,
// $ORIGIN resolved), then the usual places. dlopen would search them itself,
// but under a sanitizer that intercepts dlopen the caller it sees is the
// sanitizer's library, whose run path is not the program's.
std::vector<std::string> SearchFolders() {
    std::vector<std::string> folders;
    void* program = ::dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size;
    if (program == nullptr || ::dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0) {
        return folders;
    }
    std::vector<std::max_align_t> buffer(size.dls_size / sizeof(std::max_align_t) + 1);
    auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
    *info = size;
    if (::dlinfo(program, RTLD_DI_SERINFO, info) == 0) {
        for (unsigned i = 0; i < info->dls_cnt; ++i) {
            folders.emplace_back(info->dls_serpath[i].dls_name);
        }
    }
    return folders;
}

platform::Result<const Library*> Load() {
    std::string path = kModule;
    for (const std::string& folder : SearchFolders()) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder + "/" + kModule, error)) {
            path = folder + "/" + kModule;
            break;
        }
    }
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return platform::Error{std::string("GDAL cannot be loaded (") + ::dlerror() + ")"};
    }
    auto entry = reinterpret_cast<GeoEntry>(::dlsym(module, PLANDREL_GEO_ENTRY));
    if (entry == nullptr) {
        return platform::Error{std::string("GDAL cannot be loaded (") + ::dlerror() + ")"};
    }
    return entry();
}

}  // namespace

platform::Result<const Library*> LoadLibrary() {
    static const platform::Result<const Library*> loaded = Load();
    return loaded;
}

}  // namespace geo
