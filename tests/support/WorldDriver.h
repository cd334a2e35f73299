// The conformance kit's driver for the reference host: sets up the kit's situations in a World
// the way a level and its timeline would.
#pragma once

#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/methods/Events.h"
#include "host/world/World.h"
#include "quorin/hostcheck.h"

namespace qohost::test {

class WorldDriver : public qohostcheck::Driver {
public:
    explicit WorldDriver(World& world) : world_(world) {}

    uint32_t CreateEntity(const char* name, const char* hostClass) override {
        return world_.SpawnEntity(name, hostClass).handle;
    }
    void AddTarget(uint32_t entity, uint32_t target) override {
        if (Entity* e = world_.ValidEntity(entity)) e->targets.push_back(target);
    }
    uint32_t AddScriptObject(uint32_t entity, const char* className) override {
        Entity* e = world_.ValidEntity(entity);
        const uint32_t index = e ? world_.AddScriptObject(*e, className) : kNoObject;
        kvQOObject* object = world_.ScriptObject(entity, index);
        if (!object) return kNoObject;
        FillDeclDefaults(world_, *object);
        world_.scheduler.StartInit(object, {entity, index});
        return index;
    }
    void Activate(uint32_t entity, uint32_t activator) override { ActivateEntity(world_, entity, activator); }
    void RemoveEntity(uint32_t entity) override { world_.RemoveEntity(entity); }
    void RunFrame() override { world_.RunFrame(); }
    std::string TakeConsole() override {
        const std::vector<std::string>& lines = world_.console.Lines();
        std::string text;
        for (; taken_ < lines.size(); ++taken_) text += lines[taken_] + "\n";
        return text;
    }

private:
    World& world_;
    size_t taken_ = 0;
};

}  // namespace qohost::test
