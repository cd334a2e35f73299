// A handle on the script module: either the shared library loaded with dlopen, or a module
// linked into the same program (unit tests pass the linked GetQuorinAPI).
#pragma once

#include <memory>
#include <string>

#include "quorin/kvQuorin.h"

namespace qohost {

class Module {
public:
    // Loads the library at path (default: the library this build produced), looks up
    // GetQuorinAPI and asks it for interface version 1. Null with *error set on failure.
    static std::unique_ptr<Module> Load(const std::string& path = DefaultLibraryPath(),
                                        std::string* error = nullptr);
    // As Load, from a private copy of the file (removed again once loaded): a build may then
    // overwrite the file while the module runs, and a module loaded again this way is the
    // file's present contents even when an earlier one is still mapped. Path() is `path`.
    static std::unique_ptr<Module> LoadCopy(const std::string& path, std::string* error = nullptr);
    // Wraps a module linked into this program.
    static std::unique_ptr<Module> Linked(qoGetQuorinAPIFn getApi, std::string* error = nullptr);

    static std::string DefaultLibraryPath();

    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    kvQuorin* Api() const { return api_; }
    kvQuorin* operator->() const { return api_; }
    qoGetQuorinAPIFn GetApiFunction() const { return getApi_; }
    bool IsLoaded() const { return library_ != nullptr; }  // false for a linked module
    const std::string& Path() const { return path_; }

private:
    Module() = default;
    void* library_ = nullptr;
    qoGetQuorinAPIFn getApi_ = nullptr;
    kvQuorin* api_ = nullptr;
    std::string path_;
};

}  // namespace qohost
