// The command-line tool itself only picks the module that holds the verb asked for and hands it
// the arguments. Splitting, run often on large files, then starts with Qt Core alone; the other
// verbs also load the database, zip and bus libraries, as they need them. The modules live
// beside this program in a build tree and in the program's library folder once installed.

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    path[n] = '\0';
    const char *slash = std::strrchr(path, '/');
    return slash ? std::string(path, static_cast<size_t>(slash - path)) : std::string(".");
}

} // namespace

int main(int argc, char *argv[])
{
    const bool split = argc > 1 && std::strcmp(argv[1], "split") == 0;
    const char *module = split ? "quenda-cli-split.so" : "quenda-cli-verbs.so";
    const std::string folder = programFolder();
    std::string tried;
    for (const std::string &dir : {folder, folder + "/" QUENDA_MODULES_FROM_PROGRAM}) {
        const std::string path = dir + "/" + module;
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            tried += std::string("\n  ") + dlerror();
            continue;
        }
        using Entry = int (*)(int *, char **);
        const auto entry = reinterpret_cast<Entry>(dlsym(handle, "quenda_cli_main"));
        if (!entry) {
            std::fprintf(stderr, "quenda-ipod-cli: %s holds no entry point\n", path.c_str());
            return 1;
        }
        return entry(&argc, argv);
    }
    std::fprintf(stderr, "quenda-ipod-cli: cannot load its module %s:%s\n", module, tried.c_str());
    return 1;
}
