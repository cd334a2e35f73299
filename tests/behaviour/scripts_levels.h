// Levels for the script behaviour tests: a level written as JSON inside the test, loaded into
// the fixture's world the way `qohost run` loads a level file (attach without Reset, then the
// loader: entities, Reset, objects, Init threads), run frame by frame with its timeline, and
// the host's record read back as "FRAME TEXT" lines.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/world/Console.h"
#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/world/World.h"
#include "tests/support/HostFixture.h"

namespace scripts_test {

// Byte offsets of the world utility's fields (after the 16-byte object header).
constexpr size_t kWorldField = 16;
constexpr size_t kPlayer1Field = 20;     // player1 .. player8 follow, 4 bytes apart
constexpr size_t kAiConductorField = 52;

class LevelTest : public qohost::test::HostFixture {
protected:
    bool AttachOnSetUp() override { return false; }

    // Loads the level and runs frame 0: the Init threads up to their first wait, then the
    // timeline's frame-0 events.
    void Load(const std::string& json) {
        runner.reset();
        level = {};
        world->Attach(api, /*reset=*/false);
        qohost::LevelErrors errors;
        ASSERT_TRUE(qohost::ParseLevel(json, "test.json", level, errors)) << qohost::ErrorLines(errors);
        ASSERT_TRUE(qohost::LoadLevel(*world, level, errors)) << qohost::ErrorLines(errors);
        runner = std::make_unique<qohost::LevelRunner>(*world, level);
        runner->Start();
    }

    // A fresh world and module for the next case of a table (the allocator is checked first).
    void StartOver() {
        runner.reset();
        TearDown();
        SetUp();
    }

    // Runs frames (and the timeline's events on them) until the world reaches `frame`.
    void RunUntil(int32_t frame) { runner->RunUntil(frame); }

    // Records of a kind whose text contains `part`, as "FRAME TEXT".
    std::vector<std::string> Records(const char* kind, const std::string& part = "") const {
        std::vector<std::string> out;
        for (const qohost::KeptRecord& r : world->recorder.OfKind(kind))
            if (r.text.find(part) != std::string::npos) out.push_back(std::to_string(r.frame) + " " + r.text);
        return out;
    }
    // Entity-method calls, as the host decoded them ("lamp.Activate(player1)").
    std::vector<std::string> Calls(const std::string& part = "") const { return Records("method", part); }
    // Console lines with the colour codes removed.
    std::vector<std::string> Console(const std::string& part = "") const {
        std::vector<std::string> out;
        for (const std::string& line : Records("console", part)) out.push_back(qohost::Console::StripColors(line));
        return out;
    }
    // Entity-method calls from `frame` on, without the frame.
    std::vector<std::string> CallTextsFrom(uint64_t frame) const {
        std::vector<std::string> out;
        for (const qohost::KeptRecord& r : world->recorder.OfKind("method"))
            if (r.frame >= frame) out.push_back(r.text);
        return out;
    }

    uint32_t Handle(const char* name) const {
        const qohost::Entity* e = world->EntityByName(name);
        return e ? e->handle : 0;
    }
    qohost::Entity& Ent(const char* name) const {
        qohost::Entity* e = world->EntityByName(name);
        EXPECT_NE(e, nullptr) << name;
        return *e;
    }
    // The first object of the class on the entity, or null.
    kvQOObject* Object(const char* entity, const char* className) const {
        qohost::Entity* e = world->EntityByName(entity);
        if (!e) return nullptr;
        const uint32_t index = world->FindObjectIndex(*e, className);
        return index == qohost::kNoObject ? nullptr : world->ScriptObject(e->handle, index);
    }
    // A value read at a byte offset, as a host reads property values and table rows.
    template <class T>
    static T Raw(const void* base, size_t offset) {
        T value{};
        std::memcpy(&value, static_cast<const unsigned char*>(base) + offset, sizeof value);
        return value;
    }
    template <class T>
    static T Field(kvQOObject* object, size_t offset) {
        return Raw<T>(object, offset);
    }
    // Each class's objects as the factory allocates them: `size` bytes from the host.
    void ExpectObjectSizes(std::initializer_list<std::pair<const char*, size_t>> sizes) const {
        for (const auto& [name, size] : sizes) {
            kvQOObject* object = api->CreateObject(name);
            ASSERT_NE(object, nullptr) << name;
            EXPECT_EQ(world->allocator.Find(object)->size, size) << name;
            object->Destroy(1);
        }
    }
    struct PropertyRow {
        const char* type;
        const char* name;
        uint32_t offset, size;
    };
    // The property table of a class or struct as raw 40-byte rows (type, modifier, name, comment,
    // offset, size): exactly these rows, then a zero row.
    void ExpectPropertyRows(const char* table, const std::vector<PropertyRow>& expected) const {
        SCOPED_TRACE(table);
        const char* rows = reinterpret_cast<const char*>(api->GetPropertyTable(table));
        ASSERT_NE(rows, nullptr);
        size_t n = 0;
        for (const PropertyRow& row : expected) {
            const char* raw = rows + 40 * n++;
            SCOPED_TRACE(row.name);
            EXPECT_STREQ(Raw<const char*>(raw, 0), row.type);
            EXPECT_STREQ(Raw<const char*>(raw, 16), row.name);
            EXPECT_EQ(Raw<uint32_t>(raw, 32), row.offset);
            EXPECT_EQ(Raw<uint32_t>(raw, 36), row.size);
        }
        const unsigned char zero[40] = {};
        EXPECT_EQ(std::memcmp(rows + 40 * n, zero, 40), 0);
    }
    // The id of the thread started with that name on the entity's object (0: none).
    uint32_t ThreadStartedOn(const char* entity, const char* threadName) const {
        const std::string owner = " on " + std::to_string(Handle(entity)) + ".";
        for (const qohost::KeptRecord& r : world->recorder.OfKind("thread")) {
            if (r.text.rfind("start ", 0) != 0) continue;
            if (r.text.find("\"" + std::string(threadName) + "\"" + owner) == std::string::npos) continue;
            return static_cast<uint32_t>(std::stoul(r.text.substr(6)));
        }
        return 0;
    }

    // "FRAME REASON" of the thread's end ("33 returned"), or "" while it runs.
    std::string ThreadEnd(uint32_t id) const {
        const std::string prefix = "end " + std::to_string(id) + " ";
        for (const qohost::KeptRecord& r : world->recorder.OfKind("thread"))
            if (r.text.rfind(prefix, 0) == 0) return std::to_string(r.frame) + " " + r.text.substr(prefix.size());
        return "";
    }

    qohost::LevelDesc level;
    std::unique_ptr<qohost::LevelRunner> runner;
};

// "(x y z)" as the host writes vectors in its record.
inline std::string Text(const qoVector& v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%g %g %g)", v.x, v.y, v.z);
    return buf;
}

// True when `wanted` occurs in `calls` in this order (other calls may come between).
inline ::testing::AssertionResult InOrder(const std::vector<std::string>& calls,
                                          const std::vector<std::string>& wanted) {
    size_t at = 0;
    for (const std::string& w : wanted) {
        while (at < calls.size() && calls[at].find(w) == std::string::npos) ++at;
        if (at == calls.size()) {
            std::string seen;
            for (const std::string& c : calls) seen += "\n  " + c;
            return ::testing::AssertionFailure() << "missing (in order): " << w << "\ncalls:" << seen;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace scripts_test
