// Interfaces exchanged with a configurator host.
#pragma once

#include "host/abi.h"

namespace levrano {

// Host: the configurator's open attachment to the station database. Used as returned, never
// queried, so it has no identifier.
struct IHostDatabase : IInterface {
    virtual void DatabaseReserved1() = 0;
    // The client library's 32-bit handle of an attachment that stays open during Configure.
    virtual std::uint32_t GetHandle() = 0;
};

// Host: the configurator application object; gives the module the station database.
struct IConfigApplication : IInterface {
    virtual void ConfigAppReserved1() = 0;
    virtual IHostDatabase* GetDatabase() = 0;  // 2, with one reference for the caller
};
LEVRANO_INTERFACE_ID(IConfigApplication, "{69BF758D-C8CB-4748-A8A0-D00567EFFB91}");

// Module: the configurator-side module; Configure shows the dialog and saves on "OK".
struct IConfigModule : IInterface {
    virtual void Configure(std::int32_t argument, bool* confirmed) = 0;
};
LEVRANO_INTERFACE_ID(IConfigModule, "{CA8912A8-3765-4541-BF35-B11D9B2870E8}");

}  // namespace levrano
