#include "host/level/Reload.h"

#include <map>
#include <utility>

#include "host/level/Checkpoint.h"
#include "host/world/World.h"
#include "quorin/kvQOObject.h"

namespace qohost {

namespace {

// One object that lived before the reload: its entity, class and place among the entity's
// objects of that class.
struct Former {
    uint32_t entity;
    uint32_t index;
    std::string className;
    uint32_t place;
};

// The level's object of that class and place on the named entity, or null (an entity the
// level does not place, or an object a script made).
const LevelObject* Placed(const LevelDesc& level, const std::string& entity, const std::string& className,
                          uint32_t place) {
    // Names are unique in a level that loaded: the entity's own entry, found by its index.
    if (const LevelEntity* le = level.FindEntity(entity))
        for (const LevelObject& po : le->objects)
            if (po.className == className && place-- == 0) return &po;
    return nullptr;
}

uint32_t CountOf(const Entity& e, const std::string& className) {
    uint32_t n = 0;
    for (const ScriptObjectSlot& slot : e.objects) n += slot.object && slot.className == className;
    return n;
}

}  // namespace

ReloadResult ReloadModule(World& world, const LevelDesc& level, std::unique_ptr<Module>& module,
                          const std::string& path) {
    ReloadResult result;
    const std::string file = path.empty() && module ? module->Path() : path;

    // 1. State and the objects, in creation order.
    const Checkpoint state = SaveCheckpoint(world);
    std::vector<Former> former;
    std::map<std::pair<uint32_t, std::string>, uint32_t> seen;
    for (const auto& [handle, index] : world.ObjectOrder())
        if (Entity* e = world.ValidEntity(handle); e && world.ScriptObject(handle, index)) {
            const std::string& className = e->objects[index].className;
            former.push_back({handle, index, className, seen[{handle, className}]++});
        }

    // 2. and 3. Let go of the level, then of the library.
    world.Record(RecordKind::Module, "reload: unloading " + file);
    world.Detach();
    module.reset();
    // Every slot is empty now: the objects come back to the indices they had, which scripts
    // keep in their object references.
    for (Entity* e : world.Entities()) e->objects.clear();
    result.moduleBlocksLeft = world.allocator.LiveBlocks();

    // 4. The library again.
    module = Module::LoadCopy(file, &result.error);
    if (!module) return result;
    world.Attach(module->Api());
    world.Record(RecordKind::Module, "reload: loaded " + file);

    // 5. The objects on their entities, their Init threads, then their state.
    LevelErrors errors;
    std::vector<kvQOObject*> made;
    for (const Former& f : former) {
        Entity* e = world.ValidEntity(f.entity);
        if (!e || CountOf(*e, f.className) > f.place) continue;  // Reset made it already
        const uint32_t index = world.AddScriptObject(*e, f.className.c_str(), f.index);
        kvQOObject* object = index == kNoObject ? nullptr : world.ScriptObject(e->handle, index);
        if (!object) {
            result.notCarried.push_back(e->name + "." + f.className + ": the module has no such class now");
            continue;
        }
        if (const LevelObject* po = Placed(level, e->name, f.className, f.place))
            PlaceObjectValues(world, level, e->name, *po, *object, errors);
        else
            FillDeclDefaults(world, *object);
        made.push_back(object);
    }
    for (const LevelError& error : errors)
        result.notCarried.push_back(error.Text());
    result.objects = made.size();
    for (kvQOObject* object : made) StartInitThread(world, *object);
    const CheckpointLoad load = LoadCheckpoint(world, state);
    for (const std::string& refused : load.refused)
        if (refused.find("no such object now") == std::string::npos)  // named above already
            result.notCarried.push_back(refused + "; it starts from its map properties");
    if (load.mismatches)
        result.notCarried.push_back(std::to_string(load.mismatches) + " saved value" +
                                    (load.mismatches == 1 ? " did" : "s did") + " not fit");
    result.ok = true;
    return result;
}

}  // namespace qohost
