// The host fixture with a module that creates extra test classes (ExtraClassesModule) attached
// instead of the bare module, the world utility's start-up ended as HostFixture does.
//
//   class MyTest : public qohost::test::ExtraClassesFixture<ExtraClassesModule<probe>> {};
#pragma once

#include <memory>

#include "tests/support/ExtraClassesModule.h"
#include "tests/support/HostFixture.h"

namespace qohost::test {

template <class Module>
class ExtraClassesFixture : public HostFixture {
protected:
    bool AttachOnSetUp() override { return false; }
    void SetUp() override {
        HostFixture::SetUp();
        if (HasFatalFailure()) return;
        extraModule = std::make_unique<Module>(api);
        world->Attach(extraModule.get());
        EndWorldUtilStartup();
    }

    std::unique_ptr<Module> extraModule;
};

}  // namespace qohost::test
