#include "app/state_file.h"

#include <cstdio>

bool SaveStateFile(pappl_system_t *system, const std::string &path)
{
    const std::string temporary = path + ".new";
    if (!papplSystemSaveState(system, temporary.c_str()) || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
