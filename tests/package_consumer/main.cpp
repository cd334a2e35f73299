// Links the installed library and asks it for interface version 1.
#include <quorin/quorin.h>

#include <cstdio>

int main() {
    kvQuorin* api = GetQuorinAPI(qoInterfaceVersion);
    if (!api || !api->CheckVersionHash(qoVersionHash)) return 1;
    int classes = 0;
    for (const char* const* name = api->GetClassNames(); *name; ++name) ++classes;
    std::printf("Quorin package: %d classes\n", classes);
    return 0;
}
