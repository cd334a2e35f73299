// The music manager of the shared library in running levels, with the host's sound channels:
// the silent start of all tracks, the decibel fades frame by frame, the same-level bail-out,
// the stop after a fade to off, fade times that end even at 0 and below, levels outside the
// table, the modifier's override and its configuration lines, and the manager switch.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/sim/sound/Sound.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr size_t kCurrentLevelField = 232;
constexpr size_t kLowEmitterField = 248;  // medium, high and transition follow, 4 bytes apart
constexpr size_t kModifierManagerField = 32;
constexpr int32_t kMusicChannel = 26;

// A manager "music" with three tracks and the given transitions; more entities and a timeline.
std::string MusicLevel(const std::string& transitions, const std::string& entities = "",
                       const std::string& timeline = "", const std::string& cvars = "{}") {
    return R"({"frameMs": 16, "cvars": )" + cvars + R"(,
        "decls": {"kvSoundShader": ["music/low", "music/medium", "music/high", "music/sting"]},
        "players": [{"name": "player1"}],
        "entities": [{"name": "music", "class": "kvSpeaker", "objects": [{"class": "musicManager", "properties": {
            "lowTensionMusic": "music/low", "medTensionMusic": "music/medium", "highTensionMusic": "music/high")" +
           (transitions.empty() ? "" : ", " + transitions) + "}}]}" + (entities.empty() ? "" : ", " + entities) +
           R"(], "timeline": [)" + timeline + "]}";
}

std::string MusicEvent(int frame, int level, const char* manager = "music") {
    return R"({"frame": )" + std::to_string(frame) + R"(, "event": "music", "entity": ")" + manager +
           R"(", "level": )" + std::to_string(level) + "}";
}

class MusicTest : public LevelTest {
protected:
    // The emitter of a track (0 low, 1 medium, 2 high, 3 transition) of a manager.
    qohost::Entity& Emitter(int track, const char* manager = "music") {
        kvQOObject* m = Object(manager, "musicManager");
        EXPECT_NE(m, nullptr);
        const uint32_t handle = Field<uint32_t>(m, kLowEmitterField + 4 * track);
        qohost::Entity* e = world->EntityByHandle(handle);
        EXPECT_NE(e, nullptr) << "emitter " << track;
        return *e;
    }
    float Volume(int track, const char* manager = "music") {
        return qohost::SoundVolumeDb(*world, Emitter(track, manager), kMusicChannel);
    }
    int32_t Level(const char* manager = "music") { return Field<int32_t>(Object(manager, "musicManager"), kCurrentLevelField); }
    // Runs frame by frame until the track's volume reaches `db` (within 0.01) or `limit`;
    // the frame it got there, -1 when it did not.
    int FrameVolumeReaches(int track, float db, int limit, const char* manager = "music") {
        while (static_cast<int>(world->Frame()) < limit) {
            runner->Step();
            if (std::fabs(Volume(track, manager) - db) < 0.01f) return static_cast<int>(world->Frame());
        }
        return -1;
    }
};

// Off -> low over 2 s: the three tracks start silent on channel 26; the low track's linear gain
// rises by frameMs / 2000 each frame from 10^-2.95 to 1, set in decibels, for about 2 seconds.
TEST_F(MusicTest, OffToLowRisesLinearlyInGainOverTwoSeconds) {
    Load(MusicLevel(R"("transOffToLow": {"fadeTime": 2.0})", "", MusicEvent(1, 1)));
    RunUntil(1);
    for (int track = 0; track < 3; ++track) {
        const std::string name = Emitter(track).name;
        const char* shader[] = {"music/low", "music/medium", "music/high"};
        EXPECT_TRUE(InOrder(Calls(name + "."), {name + ".StartSoundShader(" + shader[track] + ", 26)",
                                                name + ".FadeSound(26, -59, 0)"}));
        EXPECT_EQ(qohost::SoundOn(Emitter(track), kMusicChannel), shader[track]);
    }
    EXPECT_EQ(Console("Music Manager"), std::vector<std::string>{"1 Music Manager: Changing to new state, 1"});
    EXPECT_EQ(Level(), 1);

    // Frame by frame: gain = floor + n * 0.008 after the n-th step of the fade.
    const double floor = std::pow(10.0, -2.95);
    double lastGain = 0.0;
    int full = -1;
    for (int n = 1; n <= 130 && full < 0; ++n) {
        const double gain = std::pow(10.0, Volume(0) / 20.0);
        if (n > 1) {
            EXPECT_NEAR(gain - lastGain, std::min(0.008, 1.0 - lastGain), 1e-4) << "step " << n;
        }
        EXPECT_NEAR(gain, std::min(1.0, floor + n * 0.008), 1e-4) << "step " << n;
        if (gain >= 1.0 - 1e-6) full = n;
        lastGain = gain;
        runner->Step();
    }
    EXPECT_EQ(full, 125) << "2 s of 16 ms frames";
    EXPECT_FLOAT_EQ(Volume(1), -59.0f);
    EXPECT_FLOAT_EQ(Volume(2), -59.0f);
}

// A second request for the level the manager is at prints the bail-out line and starts nothing.
TEST_F(MusicTest, SameLevelRequestBailsOut) {
    Load(MusicLevel(R"("transOffToLow": {"fadeTime": 0.5})", "", MusicEvent(1, 1) + "," + MusicEvent(60, 1)));
    RunUntil(80);
    EXPECT_EQ(Console("Music Manager"),
              (std::vector<std::string>{"1 Music Manager: Changing to new state, 1",
                                        "60 Music Manager: Changing to new state, 1",
                                        "60 Music Manager: Requested same level, bailing request."}));
    EXPECT_EQ(Records("thread", "\"FadeInLogScale\"").size(), 1u);
    EXPECT_EQ(Calls("StartSoundShader").size(), 3u);
}

// Medium -> off with 3 s, from the timeline (an event outside any script thread): the medium
// track falls from 0 dB to -59 dB over about 3 s, and only then are all three tracks stopped.
TEST_F(MusicTest, MediumToOffStopsAllTracksAfterTheFade) {
    Load(MusicLevel(R"("transOffToMedium": {"fadeTime": 0.5}, "transMediumToOff": {"fadeTime": 3.0})", "",
                    MusicEvent(1, 2) + "," + MusicEvent(100, 0)));
    RunUntil(99);
    EXPECT_FLOAT_EQ(Volume(1), 0.0f);
    RunUntil(100);
    const int silent = FrameVolumeReaches(1, -59.0f, 400);
    EXPECT_NEAR(silent, 100 + 188, 2) << "3 s of 16 ms frames";
    EXPECT_EQ(Calls("StopSound").size(), 0u) << "no stop before the fade has ended";
    RunUntil(300);
    std::vector<std::string> stops = Calls("StopSound(26)");
    ASSERT_EQ(stops.size(), 3u);
    for (const std::string& stop : stops) EXPECT_EQ(stop.substr(0, stop.find(' ')), "288") << stop;
    for (int track = 0; track < 3; ++track) EXPECT_EQ(qohost::SoundOn(Emitter(track), kMusicChannel), "") << track;
    EXPECT_EQ(Level(), 0);
}

// A modifier's fadeTime below 0 keeps the transition's own (2 s); 0.5 overrides it. It starts
// "&musicManager::ChangeState" on the manager it targets.
TEST_F(MusicTest, ModifierOverridesTheFadeTime) {
    const struct {
        const char* fadeTime;
        int frames;
    } cases[] = {{"-1.0", 125}, {"0.5", 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fadeTime);
        StartOver();
        Load(MusicLevel(R"("transOffToLow": {"fadeTime": 2.0})",
                        R"({"name": "mod", "class": "kvTarget", "targets": ["music"], "objects": [{"class": "musicModifier",
                            "properties": {"newState": "MUSIC_TENSION_STATE_LOW", "fadeTime": )" +
                            std::string(c.fadeTime) + "}}]}",
                        R"({"frame": 10, "event": "activate", "entity": "mod", "by": "player1"})"));
        RunUntil(9);
        const int full = FrameVolumeReaches(0, 0.0f, 300);
        EXPECT_NE(ThreadStartedOn("music", "&musicManager::ChangeState"), 0u);
        EXPECT_EQ(full - 10 + 1, c.frames);
    }
}

// A modifier that targets two entities prints its configuration line (with qo_debugPrint on)
// and keeps no manager; activating it then only warns.
TEST_F(MusicTest, ModifierWithTwoTargetsKeepsNoManager) {
    Load(MusicLevel("",
                    R"({"name": "other", "class": "kvTarget"},
                       {"name": "mod", "class": "kvTarget", "targets": ["music", "other"], "objects": [{"class": "musicModifier",
                        "properties": {"newState": "MUSIC_TENSION_STATE_HIGH"}}]})",
                    R"({"frame": 5, "event": "activate", "entity": "mod", "by": "player1"})", R"({"qo_debugPrint": 1})"));
    RunUntil(10);
    EXPECT_EQ(Field<uint32_t>(Object("mod", "musicModifier"), kModifierManagerField), 0u);
    EXPECT_EQ(Console("more than one target"),
              (std::vector<std::string>{"0 musicModifier::Init::355 : musicModifier: modifier has more than one target"}));
    // The warning comes from the activation's delivery thread, which it names.
    EXPECT_EQ(Console("Could not create thread"),
              std::vector<std::string>{"5 Quorin Warning: mod.musicModifier.OnActivate: Could not create thread "
                                       "&musicManager::ChangeState on null object"});
    EXPECT_EQ(Level(), 0);
}

// The switch turns its old manager off and its new one to newState, both with its fade time
// (3 s by default) and its transition sound.
TEST_F(MusicTest, SwitchTurnsOneManagerOffAndTheOtherOn) {
    Load(MusicLevel(R"("transOffToLow": {"fadeTime": 0.1})",
                    R"({"name": "music2", "class": "kvSpeaker", "objects": [{"class": "musicManager", "properties": {
                          "lowTensionMusic": "music/low", "medTensionMusic": "music/medium", "highTensionMusic": "music/high"}}]},
                       {"name": "switch", "class": "kvTarget", "objects": [{"class": "musicManagerSwitch", "properties": {
                          "old_manager": "music", "new_manager": "music2", "newState": "MUSIC_TENSION_STATE_HIGH",
                          "transitionMusic": "music/sting"}}]})",
                    MusicEvent(1, 1) + R"(, {"frame": 20, "event": "activate", "entity": "switch", "by": "player1"})"));
    RunUntil(19);
    EXPECT_FLOAT_EQ(Volume(0), 0.0f);
    const int full = FrameVolumeReaches(2, 0.0f, 400, "music2");
    EXPECT_EQ(full - 20 + 1, 188) << "3 s";
    EXPECT_FLOAT_EQ(Volume(0), -59.0f);
    EXPECT_EQ(Level("music"), 0);
    EXPECT_EQ(Level("music2"), 3);
    EXPECT_EQ(Calls(Emitter(3).name + ".StartSoundShader(music/sting, 0)").size(), 1u);
    EXPECT_EQ(Calls(Emitter(3, "music2").name + ".StartSoundShader(music/sting, 0)").size(), 1u);
    RunUntil(220);
    EXPECT_EQ(qohost::SoundOn(Emitter(0), kMusicChannel), "") << "the old manager stopped its tracks";
    EXPECT_EQ(qohost::SoundOn(Emitter(2, "music2"), kMusicChannel), "music/high");
}

// Fade times of 0 and below end at once (one step) instead of dividing by them; a level outside
// off..high selects no emitter and reads nothing outside the table.
TEST_F(MusicTest, ZeroAndNegativeFadeTimesEndAndStrangeLevelsSelectNoEmitter) {
    for (const char* fadeTime : {"0.0", "-2.0"}) {
        SCOPED_TRACE(fadeTime);
        StartOver();
        Load(MusicLevel(std::string(R"("transOffToLow": {"fadeTime": )") + fadeTime + R"(}, "transLowToOff": {"fadeTime": )" +
                            fadeTime + "}",
                        "", MusicEvent(1, 1) + "," + MusicEvent(10, 0)));
        RunUntil(2);
        EXPECT_FLOAT_EQ(Volume(0), 0.0f);
        RunUntil(20);
        EXPECT_FLOAT_EQ(Volume(0), -59.0f);
        EXPECT_EQ(Records("thread", "LogScale\"").size(), 2u) << "a fade in and a fade out";
        for (const std::string& start : Records("thread", "LogScale\"")) {
            const uint32_t id = static_cast<uint32_t>(std::stoul(start.substr(start.find("start ") + 6)));
            EXPECT_NE(ThreadEnd(id), "") << start;
        }
        EXPECT_EQ(Calls("StopSound(26)").size(), 3u);
    }
    StartOver();
    Load(MusicLevel(R"("transOffToLow": {"fadeTime": 0.2})", "", MusicEvent(1, 1) + "," + MusicEvent(30, 7)));
    RunUntil(60);
    EXPECT_EQ(Level(), 7);
    EXPECT_FLOAT_EQ(Volume(0), -59.0f) << "the low track faded out";
    EXPECT_EQ(Records("thread", "\"FadeInLogScale\"").size(), 1u) << "no emitter for level 7";
}

// ---- layout -------------------------------------------------------------------------------------

// Sizes, the transition struct's own table, the manager's rows and decl defaults (its tracks
// and the emitters' entity def), the switch's default transition sound, and the enum tables
// that moved into their classes.
TEST_F(MusicTest, LayoutAsAnEditorReadsIt) {
    world->Attach(api);
    ExpectObjectSizes({{"musicManager", 264}, {"musicModifier", 40}, {"musicManagerSwitch", 40}});

    const char* transition = reinterpret_cast<const char*>(api->GetPropertyTable("tensionTransition_t"));
    ASSERT_NE(transition, nullptr);
    EXPECT_STREQ(Raw<const char*>(transition, 0), "kvSoundShader");
    EXPECT_STREQ(Raw<const char*>(transition, 8), "*");
    EXPECT_STREQ(Raw<const char*>(transition, 24), "Sound decl to play during the transition");
    EXPECT_STREQ(Raw<const char*>(transition + 40, 16), "fadeTime");
    EXPECT_EQ(Raw<uint32_t>(transition + 40, 32), 8u);
    EXPECT_EQ(Raw<const char*>(transition + 80, 16), nullptr);

    const char* rows = reinterpret_cast<const char*>(api->GetPropertyTable("musicManager"));
    ASSERT_NE(rows, nullptr);
    EXPECT_STREQ(Raw<const char*>(rows, 24), "Low tension level music decl");
    EXPECT_STREQ(Raw<const char*>(rows + 40 * 3, 0), "tensionTransition_t");
    EXPECT_STREQ(Raw<const char*>(rows + 40 * 3, 16), "transOffToLow");
    EXPECT_EQ(Raw<uint32_t>(rows + 40 * 3, 36), 16u);
    EXPECT_STREQ(Raw<const char*>(rows + 40 * 14, 16), "transLowToOff");
    EXPECT_EQ(Raw<uint32_t>(rows + 40 * 14, 32), 216u);
    EXPECT_EQ(Raw<const char*>(rows + 40 * 15, 16), nullptr) << "currentLevel and the emitters are no properties";

    struct DeclRow {
        const char* object;
        int row;
        const char* member;
        const char* defaultName;
        uint64_t offset;
    };
    for (const DeclRow& d : {DeclRow{"musicManager", 3, "infoNull", "info/null", 240},
                             DeclRow{"musicManagerSwitch", 0, "transitionMusic", "sound/_silence.wav", 32}}) {
        kvQOObject* object = api->CreateObject(d.object);
        ASSERT_NE(object, nullptr);
        const char* decl = reinterpret_cast<const char*>(object->GetDeclDefaults()) + 32 * d.row;
        EXPECT_STREQ(Raw<const char*>(decl, 8), d.member);
        EXPECT_STREQ(Raw<const char*>(decl, 16), d.defaultName);
        EXPECT_EQ(Raw<uint64_t>(decl, 24), d.offset);
        object->Destroy(1);
    }
    ASSERT_NE(api->GetEnumTable("musicTensionStates_t"), nullptr);
    ASSERT_NE(api->GetEnumTable("zombie_sleep::sleepAnims_t"), nullptr);
    EXPECT_STREQ(api->GetComment("musicManagerSwitch"), "Transition from one manager to another");
    const char* const* editor = api->GetEditorMetadata("musicManager");
    ASSERT_NE(editor, nullptr);
    EXPECT_STREQ(editor[0], "string { string = 'Music Manager'; color = green; offset = ( 20 0 0 ); showAlways = true; }");
}

}  // namespace
}  // namespace scripts_test
