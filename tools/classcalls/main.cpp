// classcalls OUT CATALOGUE SOURCE...: writes, for every script class defined in the sources,
// the host entity methods its code calls, as rows X("class", "Method Method ...") for
// `qohost describe`.
//
// A call is `.Name(` or `->Name(` where Name is a method of the catalogue (the X(...) rows of
// quorin/qoMethodCatalogue.h), on anything but a script object reference (`qoObject<T> x`). The code of a class is the bodies of its member functions
// (`Class::member(` at the start of a line), of the file's free functions it calls (followed
// as far as they call each other), and the code of its base classes (`class X : public Y`).
// Comments and string literals are skipped. The result may name a method a branch never
// reaches; it never misses one that the class's own code calls by name.
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text with comments and the insides of string and character literals blanked out.
std::string Code(const std::string& text) {
    std::string out = text;
    enum { Plain, Line, Block, Str, Chr } state = Plain;
    for (size_t i = 0; i < out.size(); ++i) {
        const char c = out[i], next = i + 1 < out.size() ? out[i + 1] : '\0';
        switch (state) {
            case Plain:
                if (c == '/' && next == '/') state = Line, out[i] = ' ';
                else if (c == '/' && next == '*') state = Block, out[i] = ' ';
                else if (c == '"') state = Str;
                else if (c == '\'') state = Chr;
                break;
            case Line:
                if (c == '\n') state = Plain;
                else out[i] = ' ';
                break;
            case Block:
                if (c == '*' && next == '/') out[i] = out[i + 1] = ' ', ++i, state = Plain;
                else if (c != '\n') out[i] = ' ';
                break;
            case Str:
            case Chr:
                if (c == '\\') out[i] = ' ', out[i + 1] = ' ', ++i;
                else if (c == (state == Str ? '"' : '\'')) state = Plain;
                else out[i] = ' ';
                break;
        }
    }
    return out;
}

// A function defined at the start of a line: its owner class ("" for a free function), its
// name and its body (from the line of its name to the matching closing brace).
struct Function {
    std::string owner, name, body;
};

std::vector<Function> Functions(const std::string& code) {
    static const std::regex head(R"(^[A-Za-z_][^;{}()\n]*?\b(?:([A-Za-z_]\w*)::)?(~?[A-Za-z_]\w*)\s*\()");
    std::vector<Function> out;
    size_t line = 0;
    while (line < code.size()) {
        const size_t end = code.find('\n', line);
        const std::string text = code.substr(line, end == std::string::npos ? std::string::npos : end - line);
        std::smatch m;
        if (std::regex_search(text, m, head) && m.position(0) == 0) {
            // The body: the first '{' before a ';' at depth 0 of parentheses, to its match.
            size_t i = line;
            int parens = 0;
            for (; i < code.size(); ++i) {
                if (code[i] == '(') ++parens;
                else if (code[i] == ')') --parens;
                else if (parens == 0 && (code[i] == ';' || code[i] == '{')) break;
            }
            if (i < code.size() && code[i] == '{') {
                int depth = 0;
                size_t j = i;
                for (; j < code.size(); ++j) {
                    if (code[j] == '{') ++depth;
                    else if (code[j] == '}' && --depth == 0) break;
                }
                out.push_back({m[1].str(), m[2].str(), code.substr(line, j - line)});
                line = j;
                continue;
            }
        }
        if (end == std::string::npos) break;
        line = end + 1;
    }
    return out;
}

std::set<std::string> Words(const std::string& body, const std::regex& pattern) {
    std::set<std::string> out;
    for (std::sregex_iterator it(body.begin(), body.end(), pattern), end; it != end; ++it) out.insert((*it)[1].str());
    return out;
}

// The member calls of a body, except those on the file's script object references (`qoObject<T>
// name`, whose Bind is not the entity method).
std::set<std::string> Calls(const std::string& body, const std::set<std::string>& objectRefs) {
    static const std::regex call(R"((\w*)\s*(?:\.|->)\s*([A-Za-z_]\w*)\s*\()");
    std::set<std::string> out;
    for (std::sregex_iterator it(body.begin(), body.end(), call), end; it != end; ++it)
        if (!objectRefs.count((*it)[1].str())) out.insert((*it)[2].str());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: classcalls OUT CATALOGUE SOURCE...\n");
        return 2;
    }
    std::set<std::string> methods;
    {
        static const std::regex row(R"(X\(\d+,\s*(\w+),)");
        methods = Words(ReadFile(argv[2]), row);
    }
    static const std::regex objectRef(R"(\bqoObject<[^;(){}]*?>\s+(\w+))");
    static const std::regex named(R"(\b([A-Za-z_]\w*)\s*\()");
    static const std::regex derived(R"(\b(?:class|struct)\s+(\w+)\s*(?:final\s*)?:\s*public\s+(\w+))");

    std::map<std::string, std::set<std::string>> calls;  // class -> methods
    std::map<std::string, std::string> bases;
    for (int a = 3; a < argc; ++a) {
        const std::string code = Code(ReadFile(argv[a]));
        for (std::sregex_iterator it(code.begin(), code.end(), derived), end; it != end; ++it)
            bases[(*it)[1].str()] = (*it)[2].str();
        const std::vector<Function> functions = Functions(code);
        const std::set<std::string> objectRefs = Words(code, objectRef);
        // The free functions of the file: the methods each calls, following the file's other
        // free functions it names.
        std::map<std::string, std::set<std::string>> freeCalls, freeNames;
        for (const Function& f : functions)
            if (f.owner.empty()) {
                for (const std::string& m : Calls(f.body, objectRefs)) freeCalls[f.name].insert(m);
                freeNames[f.name] = Words(f.body.substr(f.body.find('(')), named);
            }
        for (bool grew = true; grew;) {
            grew = false;
            for (auto& [name, names] : freeNames)
                for (const std::string& other : names)
                    if (other != name && freeCalls.count(other))
                        for (const std::string& m : std::set<std::string>(freeCalls[other]))
                            grew |= freeCalls[name].insert(m).second;
        }
        for (const Function& f : functions) {
            if (f.owner.empty()) continue;
            std::set<std::string>& mine = calls[f.owner];
            for (const std::string& m : Calls(f.body, objectRefs)) mine.insert(m);
            for (const std::string& n : Words(f.body.substr(f.body.find('(')), named))
                if (auto it = freeCalls.find(n); it != freeCalls.end()) mine.insert(it->second.begin(), it->second.end());
        }
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::fprintf(stderr, "classcalls: cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(out, "// Generated by tools/classcalls from the script sources; do not edit.\n");
    for (const auto& [cls, own] : calls) {
        std::set<std::string> all;
        std::set<std::string> seen;
        for (std::string c = cls; !c.empty() && seen.insert(c).second;) {
            if (auto it = calls.find(c); it != calls.end()) all.insert(it->second.begin(), it->second.end());
            auto b = bases.find(c);
            c = b == bases.end() ? std::string() : b->second;
        }
        std::string list;
        for (const std::string& m : all)
            if (methods.count(m)) list += (list.empty() ? "" : " ") + m;
        std::fprintf(out, "X(\"%s\", \"%s\")\n", cls.c_str(), list.c_str());
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
