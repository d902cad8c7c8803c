#include "app/pappl_hooks.h"

#include "app/interposition_check.h"

#include <cups/ipp.h>
#include <cups/raster.h>

extern "C" void *_papplJobProcess(pappl_job_t *job);
extern "C" void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client);
extern "C" void _papplMediaColImport(ipp_t *collection, pappl_media_col_t *media);
extern "C" http_status_t _papplClientIsAuthorizedForGroup(pappl_client_t *client, bool allowRemote,
                                                          const char *group, gid_t groupId);

bool PapplHooksBound(std::string &why)
{
    struct Hook {
        const char *symbol;
        const void *definition;
    };
    const Hook hooks[] = {
        {"_papplJobProcess", reinterpret_cast<const void *>(&_papplJobProcess)},
        {"_papplJobProcessRaster", reinterpret_cast<const void *>(&_papplJobProcessRaster)},
        {"ippFindAttribute", reinterpret_cast<const void *>(&ippFindAttribute)},
        {"cupsRasterReadHeader2", reinterpret_cast<const void *>(&cupsRasterReadHeader2)},
        {"_papplMediaColImport", reinterpret_cast<const void *>(&_papplMediaColImport)},
        {"_papplClientIsAuthorizedForGroup", reinterpret_cast<const void *>(&_papplClientIsAuthorizedForGroup)},
    };
    for (const Hook &hook : hooks)
        if (!LibraryCallsReach("libpappl.so", hook.symbol, hook.definition, why))
            return false;
    return true;
}
