#include "host/world/Module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

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

std::unique_ptr<Module> Module::LoadCopy(const std::string& path, std::string* error) {
    std::string copy = (std::filesystem::temp_directory_path() / "qohost-module-XXXXXX").string();
    const int fd = mkstemp(copy.data());
    if (fd < 0) {
        SetError(error, "cannot make a copy of " + path + " to load");
        return nullptr;
    }
    close(fd);
    std::error_code failed;
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing, failed);
    std::unique_ptr<Module> module;
    if (failed) SetError(error, "cannot copy " + path + ": " + failed.message());
    else module = Load(copy, error);
    std::filesystem::remove(copy, failed);
    if (module) module->path_ = path;
    else if (error && error->find(copy) != std::string::npos) error->replace(error->find(copy), copy.size(), path);
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
