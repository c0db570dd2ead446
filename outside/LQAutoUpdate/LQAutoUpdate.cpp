#include "outside/LQAutoUpdate/LQAutoUpdate.h"

#include "outside/LQAutoUpdate/update_manifest.h"

#include <new>

CLQAutoUpdate* CLQAutoUpdate::CreateInstance()
{
    return new (std::nothrow) CLQAutoUpdate;
}

int CLQAutoUpdate::IsNewVersionAvailable()
{
    const std::optional<CUpdateManifest> manifest = FetchUpdateManifest(GetUpdateUrl());
    return manifest && manifest->version > kProgramVersion ? 1 : 0;
}
