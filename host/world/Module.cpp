#include "host/world/Module.h"

#include <dlfcn.h>

namespace qohost {

namespace {
void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}
}  // namespace

std::string Module::DefaultLibraryPath() {
#if defined(QUORIN_LIBRARY_PATH)
    return QUORIN_LIBRARY_PATH;
#else
    return "libquorin.so";
#endif
}

std::unique_ptr<Module> Module::Load(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        SetError(error, "cannot load " + path + ": " + (why ? why : "unknown error"));
        return nullptr;
    }
    auto getApi = reinterpret_cast<qoGetQuorinAPIFn>(dlsym(library, "GetQuorinAPI"));
    if (!getApi) {
        SetError(error, path + " does not export GetQuorinAPI");
        dlclose(library);
        return nullptr;
    }
    std::unique_ptr<Module> module = Linked(getApi, error);
    if (!module) {
        dlclose(library);
        return nullptr;
    }
    module->library_ = library;
    module->path_ = path;
    return module;
}

std::unique_ptr<Module> Module::Linked(qoGetQuorinAPIFn getApi, std::string* error) {
    if (!getApi) {
        SetError(error, "no GetQuorinAPI");
        return nullptr;
    }
    kvQuorin* api = getApi(qoInterfaceVersion);
    if (!api) {
        SetError(error, "the module does not offer interface version 1");
        return nullptr;
    }
    std::unique_ptr<Module> module(new Module());
    module->getApi_ = getApi;
    module->api_ = api;
    module->path_ = "(linked)";
    return module;
}

Module::~Module() {
    if (library_) dlclose(library_);
}

}  // namespace qohost
