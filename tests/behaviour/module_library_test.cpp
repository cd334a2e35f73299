// The shared library as an engine sees it: loaded with dlopen, driven only through
// GetQuorinAPI, the kvQuorin slots and the host interface the reference host implements.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/world/Module.h"
#include "host/world/World.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::CvarOp;
using qohost::Module;
using qohost::World;
using qohost::test::CallSlot;
using qohost::test::HostFixture;


TEST(ModuleLibrary, ExportsGetQuorinApiForVersionOneOnly) {
    void* library = dlopen(QUORIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto getApi = reinterpret_cast<qoGetQuorinAPIFn>(dlsym(library, "GetQuorinAPI"));
    ASSERT_NE(getApi, nullptr);
    EXPECT_EQ(getApi(0), nullptr);
    EXPECT_EQ(getApi(2), nullptr);
    kvQuorin* api = getApi(1);
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(getApi(1), api);
    // Nothing of the module's inside is reachable by name.
    for (const char* hidden : {"qoSys", "qoRegistrationList", "cvar_timescale", "ReportError",
                               "_Z11ReportErrorPKc", "qoWorldUtilReference"})
        EXPECT_EQ(dlsym(library, hidden), nullptr) << hidden;
    dlclose(library);
}

TEST(ModuleLibrary, LoadReportsAMissingLibrary) {
    std::string error;
    EXPECT_EQ(Module::Load("/nonexistent/libquorin.so", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/libquorin.so"), std::string::npos) << error;
}

class ModuleLibraryHost : public HostFixture {
protected:
    bool AttachOnSetUp() override { return false; }
};

TEST_F(ModuleLibraryHost, StartUpRegistersTheConsoleVariablesNewestFirst) {
    ASSERT_TRUE(module->IsLoaded());
    EXPECT_EQ(api->SetSystem(world.get()), nullptr);
    EXPECT_TRUE(world->cvars.Calls().empty());
    api->RunRegistrations();
    const std::vector<std::string> expected = {"qo_musicTestEnt", "qo_musicTestManager", "qo_musicState",
                                               "af_neverRest",    "pm_runspeed",         "pm_normalViewHeight",
                                               "timescale"};
    EXPECT_EQ(world->cvars.GetCallNames(), expected);
    EXPECT_EQ(world->cvars.CountCalls(CvarOp::GetString, "qo_musicTestEnt"), 1u);
    EXPECT_EQ(world->cvars.CountCalls(CvarOp::GetBool, "af_neverRest"), 1u);
    EXPECT_EQ(world->cvars.Value("timescale"), "1");
    api->SetSystem(nullptr);
}

TEST_F(ModuleLibraryHost, SlotsByNumber) {
    World other;
    EXPECT_EQ(CallSlot<kvQuorinSystem*>(api, 1, static_cast<kvQuorinSystem*>(world.get())), nullptr);
    CallSlot<void>(api, 2);
    EXPECT_EQ(world->cvars.GetCallNames().size(), 7u);
    CallSlot<void>(api, 3);  // Reset: binds the world utility on "world" without a warning
    EXPECT_FALSE(world->console.Contains("not found"));
    CallSlot<void>(api, 4);  // no windows: nothing drawn
    EXPECT_TRUE(world->recorder.devWindowFlushes.empty());
    const char* const* names = CallSlot<const char* const*>(api, 5);
    ASSERT_NE(names, nullptr);
    ASSERT_NE(CallSlot<const char* const*>(api, 6), nullptr);
    EXPECT_EQ(CallSlot<kvQuorin*>(api, 0, 1u), api);  // the static interface is never freed
    EXPECT_TRUE(CallSlot<bool>(api, 14, 0x31bbe464));
    EXPECT_FALSE(CallSlot<bool>(api, 14, -0x31bbe464));
    EXPECT_EQ(CallSlot<kvQuorinSystem*>(api, 1, static_cast<kvQuorinSystem*>(&other)), world.get());
    EXPECT_EQ(api->SetSystem(nullptr), &other);
    world->Attach(api, false);  // so TearDown detaches through the usual path
}

TEST_F(ModuleLibraryHost, EveryListedClassIsCreatableAndNamesItself) {
    world->Attach(api);
    size_t count = 0;
    for (const char* const* name = api->GetClassNames(); *name; ++name, ++count) {
        kvQOObject* object = api->CreateObject(*name);
        ASSERT_NE(object, nullptr) << *name;
        EXPECT_EQ(object->GetClassName(), *name);
        EXPECT_EQ(object->GetEntity(), 0u);
        object->Destroy(1);
    }
    EXPECT_TRUE(world->allocator.Errors().empty());
    RecordProperty("classes", static_cast<int>(count));
}

// The qohost command line prints what the library offers and leaves nothing allocated.
TEST(QohostInfo, PrintsClassesAndConsoleAndExitsCleanly) {
    std::unique_ptr<Module> module = Module::Load();
    ASSERT_TRUE(module);
    size_t classes = 0;
    for (const char* const* name = module->Api()->GetClassNames(); *name; ++name) ++classes;

    const std::string command = std::string(QOHOST_PATH) + " info 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("classes: " + std::to_string(classes) + "\n"), std::string::npos) << output;
    // The names it promises, each as a word of its own.
    for (const char* const* name = module->Api()->GetClassNames(); *name; ++name)
        EXPECT_TRUE(output.find(std::string(" ") + *name + " ") != std::string::npos ||
                    output.find(std::string(" ") + *name + "\n") != std::string::npos)
            << *name;
    EXPECT_NE(output.find("console:\n"), std::string::npos) << output;
    EXPECT_NE(output.find("  timescale = \"1\"\n"), std::string::npos) << output;
    EXPECT_NE(output.find("live blocks after detach: 0\n"), std::string::npos) << output;
}

TEST(QohostInfo, BadLibraryPathFails) {
    const std::string command = std::string(QOHOST_PATH) + " --library /nonexistent.so info 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[512];
    std::string output;
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    EXPECT_NE(pclose(pipe), 0);
    EXPECT_NE(output.find("cannot load /nonexistent.so"), std::string::npos) << output;
}

}  // namespace
