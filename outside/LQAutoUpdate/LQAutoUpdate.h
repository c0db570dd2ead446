// The update query of the maker's family of modules (LQAutoUpdate.so,
// linked at load time). It asks the maker's update address for the version
// manifest (see update_manifest.h) with short time-outs.
#pragma once

#if defined(LQAUTOUPDATE_BUILDING)
#define LQAUTOUPDATE_API __attribute__((visibility("default")))
#else
#define LQAUTOUPDATE_API
#endif

class LQAUTOUPDATE_API CLQAutoUpdate
{
public:
    // A new instance, or null when none can be made. The caller releases it
    // with plain deallocation (::operator delete), so it owns nothing and has
    // no destructor in its table of operations.
    static CLQAutoUpdate* CreateInstance();

    // Operation 0: non-zero when the manifest names a version above this
    // program's. No network, a time-out or a bad manifest: 0. Takes at most
    // a few seconds.
    virtual int IsNewVersionAvailable();

protected:
    CLQAutoUpdate() = default;
};
