#include "host/level/Graph.h"

#include <set>
#include <sstream>
#include <utility>

#include "host/level/Checks.h"

namespace qohost {

namespace {

using Json = nlohmann::ordered_json;

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : Printable(text, 200)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string Quote(std::string_view text) { return "\"" + Escape(text) + "\""; }

// Every string in a property value that names an entity, with its path below the property.
void EntityNames(const LevelDesc& level, const Json& v, const std::string& path,
                 std::vector<std::pair<std::string, std::string>>& out) {
    if (v.is_string()) {
        if (level.FindEntity(v.get<std::string>())) out.emplace_back(path, v.get<std::string>());
    } else if (v.is_array()) {
        for (size_t i = 0; i < v.size(); ++i) EntityNames(level, v[i], path + "[" + std::to_string(i) + "]", out);
    } else if (v.is_object()) {
        for (auto it = v.begin(); it != v.end(); ++it) EntityNames(level, it.value(), path + "." + it.key(), out);
    }
}

}  // namespace

std::string LevelGraph(const LevelDesc& level) {
    std::set<std::pair<std::string, std::string>> cycleEdges;
    std::set<std::string> cycleNodes;
    for (const std::vector<std::string>& cycle : ActivationCycles(level))
        for (size_t i = 0; i + 1 < cycle.size(); ++i) {
            cycleEdges.emplace(cycle[i], cycle[i + 1]);
            cycleNodes.insert(cycle[i]);
        }

    std::ostringstream dot;
    dot << "digraph level {\n"
        << "  label=" << Quote(level.name.empty() ? level.file : level.name) << ";\n"
        << "  rankdir=LR;\n"
        << "  node [fontname=\"Helvetica\", fontsize=10];\n"
        << "  edge [fontname=\"Helvetica\", fontsize=9];\n";
    // Nodes: the host class as the shape's caption; script objects fill the node.
    for (const LevelEntity& e : level.entities) {
        // Lines: the name, the host class, the script classes.
        std::string label = "\"" + Escape(e.name) + "\\n" + Escape(e.hostClass);
        for (const LevelObject& o : e.objects) label += "\\n[" + Escape(o.className) + "]";
        label += "\"";
        std::string style = e.objects.empty() ? "shape=ellipse" : "shape=box, style=\"rounded,filled\", fillcolor=\"#dde8f7\"";
        if (e.hostClass == "kvPlayer") style = "shape=house, style=filled, fillcolor=\"#e3f2d9\"";
        if (cycleNodes.count(e.name)) style += ", color=red, penwidth=2";
        dot << "  " << Quote(e.name) << " [label=" << label << ", " << style << "];\n";
    }
    for (const LevelEntityDef& def : level.entityDefs)
        dot << "  " << Quote("def:" + def.name) << " [label=" << Quote(def.name + " (" + def.hostClass + ")")
            << ", shape=note, style=dashed];\n";

    const auto edge = [&](const std::string& from, const std::string& to, const std::string& label, const char* style) {
        dot << "  " << Quote(from) << " -> " << Quote(to) << " [label=" << Quote(label);
        if (*style) dot << ", " << style;
        if (cycleEdges.count({from, to}) && std::string(label).rfind("targets", 0) == 0) dot << ", color=red, penwidth=2";
        dot << "];\n";
    };
    for (const LevelEntity& e : level.entities) {
        for (size_t t = 0; t < e.targets.size(); ++t) edge(e.name, e.targets[t], "targets[" + std::to_string(t) + "]", "");
        if (!e.more->bindTo.empty()) edge(e.name, e.more->bindTo, "bound to", "style=dotted");
        for (const std::string& def : e.more->entityDefs) edge(e.name, "def:" + def, "spawns", "style=dashed");
        for (const LevelObject& o : e.objects) {
            std::vector<std::pair<std::string, std::string>> links;
            for (auto it = o.properties.begin(); it != o.properties.end(); ++it)
                EntityNames(level, it.value(), it.key(), links);
            for (const auto& [path, to] : links) edge(e.name, to, o.className + "." + path, "color=\"#3465a4\"");
        }
    }
    dot << "}\n";
    return dot.str();
}

}  // namespace qohost
