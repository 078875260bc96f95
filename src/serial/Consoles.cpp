#include "serial/Consoles.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace ecu {

namespace {

bool NameIs(const std::string& name, dev_t device) {
    if (name.empty() || name.find("..") != std::string::npos)
        return false;
    struct stat st {};
    return ::stat(("/dev/" + name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
           st.st_rdev == device;
}

bool OnActiveList(dev_t device, const std::string& path) {
    std::ifstream in(path);
    std::string name;
    while (in >> name)
        if (NameIs(name, device))
            return true;
    return false;
}

bool OnConsoleList(dev_t device, const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, field, last;
        fields >> name;
        while (fields >> field)
            last = field;
        unsigned major = 0, minor = 0;
        char tail = 0;
        if (std::sscanf(last.c_str(), "%u:%u%c", &major, &minor, &tail) == 2) {
            if (makedev(major, minor) == device)
                return true;
        } else if (NameIs(name, device)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsActiveConsole(dev_t device, const ConsoleLists& lists) {
    return OnConsoleList(device, lists.consoles) || OnActiveList(device, lists.active);
}

} // namespace ecu
