// Levels of N scripted entities for measuring the host at scale.
//
// Entity i carries, in turn, a triggerSequential (loop on), a triggerLerpDelay or an
// audibleTimer, each with three lights as targets; a player activates them. The timeline
// activates a tenth of the scripted entities every `every` frames (the next tenth each time,
// round the level) until frame `frames`. With `sequentialOnly` every scripted entity carries a
// triggerSequential (the behaviour the Lua comparison runs).
#pragma once

#include <cstdint>
#include <string>

namespace bench {

inline std::string ScaleLevel(int64_t n, int64_t frames, bool sequentialOnly = false,
                              int64_t every = 5) {
    std::string out;
    out.reserve(static_cast<size_t>(n) * 400 + static_cast<size_t>(frames / every) * 8 * n);
    out += "{\n\"name\": \"scale " + std::to_string(n) + "\",\n\"frameMs\": 16,\n\"seed\": 1,\n";
    out += "\"decls\": {\"kvSoundShader\": [\"scale/tick\", \"scale/start\", \"scale/done\"]},\n";
    out += "\"players\": [{\"name\": \"player1\", \"origin\": [0, 0, 0]}],\n\"entities\": [\n";
    static const char* const kObjects[] = {
        R"({"class": "triggerSequential", "properties": {"loop": true}})",
        R"({"class": "triggerLerpDelay", "properties": {"firstDelay": 0.25, "lastDelay": 0.05}})",
        R"({"class": "audibleTimer", "properties": {"targetTime": 1.0, "triggerTime": 0.5, )"
        R"("tickRate": 0.25, "repeat": true, "slowTickSound": "scale/tick", "slowTickCount": 1, )"
        R"("playTriggerSound": true, "triggerSound": "scale/start", "playTimeOutSound": true, )"
        R"("timeOutSound": "scale/done"}})",
    };
    for (int64_t i = 0; i < n; ++i) {
        const std::string name = "s" + std::to_string(i);
        const std::string x = std::to_string(i % 1000 * 64), y = std::to_string(i / 1000 * 64);
        out += "{\"name\": \"" + name + "\", \"class\": \"kvTarget\", \"origin\": [" + x + ", " + y +
               ", 0], \"targets\": [\"" + name + "_a\", \"" + name + "_b\", \"" + name +
               "_c\"], \"objects\": [" + kObjects[sequentialOnly ? 0 : i % 3] + "]},\n";
        for (const char* light : {"_a", "_b", "_c"})
            out += "{\"name\": \"" + name + light + "\", \"class\": \"kvLight\", \"origin\": [" + x +
                   ", " + y + ", 64]},\n";
    }
    out.resize(out.size() - 2);  // the last ",\n"
    out += "\n],\n\"timeline\": [\n";
    const int64_t tenth = n >= 10 ? n / 10 : 1;
    int64_t next = 0;
    bool first = true;
    for (int64_t frame = every; frame <= frames; frame += every) {
        for (int64_t k = 0; k < tenth; ++k, next = (next + 1) % n) {
            out += first ? "" : ",\n";
            first = false;
            out += "{\"frame\": " + std::to_string(frame) + ", \"event\": \"activate\", \"entity\": \"s" +
                   std::to_string(next) + "\", \"by\": \"player1\"}";
        }
    }
    out += "\n]\n}\n";
    return out;
}

}  // namespace bench
