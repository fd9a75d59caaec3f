// Interfaces exchanged with an operator-workstation host. Slot order is the contract: hosts call
// by position, so every slot is declared, also those the module neither calls nor implements
// (hosts implement those as no-ops).
#pragma once

#include "host/abi.h"

namespace levrano {

// Host: one item of a host list.
struct IEnumItem : IInterface {
    virtual void EnumItemReserved1() = 0;
    virtual void EnumItemReserved2() = 0;
};
LEVRANO_INTERFACE_ID(IEnumItem, "{FAA0DF5E-45F0-4841-8181-F2DCC565A2BC}");

// Host: a list of items, read by count and index.
struct IEnum : IInterface {
    virtual std::int32_t GetCount() = 0;
    virtual void EnumReserved2() = 0;
    virtual void EnumReserved3() = 0;
    // The item at a zero-based index, with one reference for the caller.
    virtual IInterface* GetItem(std::int32_t index) = 0;
};
LEVRANO_INTERFACE_ID(IEnum, "{BAC6C2A9-6D7A-428D-863C-A1924D40EE62}");

// Host: one tank of the station, with its own calibration.
struct ITank : IEnumItem {
    virtual std::int32_t GetTankId() = 0;   // 3
    virtual std::int32_t GetNumber() = 0;   // 4
    virtual void TankReserved5() = 0;
    virtual void TankReserved6() = 0;
    virtual void TankReserved7() = 0;
    virtual void TankReserved8() = 0;
    virtual void TankReserved9() = 0;
    virtual void TankReserved10() = 0;
    virtual void TankReserved11() = 0;
    virtual void TankReserved12() = 0;
    virtual void TankReserved13() = 0;
    virtual void TankReserved14() = 0;
    virtual void TankReserved15() = 0;
    virtual void TankReserved16() = 0;
    virtual void TankReserved17() = 0;
    virtual void TankReserved18() = 0;
    virtual double LevelToVolume(double level) = 0;  // 19, called with the probe's lock held
    virtual void TankReserved20() = 0;
};
LEVRANO_INTERFACE_ID(ITank, "{C1336751-4175-4303-B867-135DC979BE29}");

// Host: the station's tanks; GetItem yields ITank.
struct ITanks : IEnum {
    virtual void TanksReserved5() = 0;
    virtual void TanksReserved6() = 0;
    virtual void TanksReserved7() = 0;
    virtual void TanksReserved8() = 0;
    virtual void TanksReserved9() = 0;
    virtual void TanksReserved10() = 0;
};
LEVRANO_INTERFACE_ID(ITanks, "{FEA1A32D-88B2-4789-B965-FD7676E7FD45}");

// Module: an immutable status, a code (0 = success) and its Windows-1251 text.
struct IStatus : IInterface {
    virtual std::int32_t GetCode() = 0;
    // Copies the text and its terminating zero into buffer (room for 35 bytes suffices).
    virtual char* GetText(char* buffer) = 0;
    virtual bool IsOk() = 0;
};
LEVRANO_INTERFACE_ID(IStatus, "{0AD4B1CF-CC54-424C-90DE-427E918278BB}");

// Module: one immutable snapshot of a tank's measurements.
struct ITankState : IInterface {
    virtual std::int32_t GetReserved() = 0;
    virtual double GetLevel() = 0;
    virtual double GetVolume() = 0;
    virtual double GetWaterLevel() = 0;
    virtual double GetWaterVolume() = 0;
    virtual double GetDensity() = 0;
    virtual double GetTemperature() = 0;
    virtual double GetMass() = 0;
    virtual IStatus* GetStatus() = 0;
    virtual std::uint8_t GetReservedFlags() = 0;
    virtual std::int32_t PassValue(std::int32_t value) = 0;
};
LEVRANO_INTERFACE_ID(ITankState, "{67E492E5-DABD-4EA0-92C8-094E1F9226D3}");

// Host: a notice entry made by CreateEntry; the module submits it at once. It has no identifier.
struct IEntry : IInterface {
    virtual void EntryReserved1() = 0;
    virtual void EntryReserved2() = 0;
    virtual void EntryReserved3() = 0;
    virtual void EntryReserved4() = 0;
    virtual void Submit() = 0;  // 5
};

struct IApplicationListener;

// Host: the operator workstation's application object: tanks, notices, services and events.
struct IOperatorApplication : IInterface {
    virtual void AppReserved1() = 0;
    virtual void AppReserved2() = 0;
    virtual IEntry* CreateEntry(const char* text) = 0;  // 3
    virtual void AppReserved4() = 0;
    virtual void AppReserved5() = 0;
    virtual void AppReserved6() = 0;
    virtual ITanks* GetTanks() = 0;  // 7
    virtual void AppReserved8() = 0;
    virtual void AppReserved9() = 0;
    virtual void AppReserved10() = 0;
    virtual void AppReserved11() = 0;
    // 12: hands the host the gauge of a tank; the host's reference keeps it alive.
    virtual void RegisterService(IInterface* service, ITank* tank, GUID iid) = 0;
    // 13: a host service; owner is always 0.
    virtual IInterface* GetService(std::int32_t owner, GUID iid, std::int32_t number) = 0;
    // 14: registers an application listener; the host's reference keeps it alive.
    virtual void AddListener(IApplicationListener* listener) = 0;
};
LEVRANO_INTERFACE_ID(IOperatorApplication, "{1B17EF47-FEFB-4C24-9002-AE9C6451EDEC}");

// Module: receives the host application's events; OnStart and OnStop start and stop polling.
struct IApplicationListener : IInterface {
    virtual void Event1(IInterface* sender) = 0;
    virtual void Event2(IInterface* sender) = 0;
    virtual void Event3(IInterface* sender) = 0;
    virtual void OnStart(IInterface* sender) = 0;  // 4
    virtual void OnStop(IInterface* sender) = 0;   // 5
    virtual void Event6(IInterface* sender) = 0;
    virtual void Event7(IInterface* sender, std::int32_t first, std::int32_t second, GUID value) = 0;
    virtual void Event8(IInterface* sender) = 0;
};
LEVRANO_INTERFACE_ID(IApplicationListener, "{1388B50A-7051-4C97-BE5B-C57CA393995B}");

// Module: the gauge of one tank, handed to the host by RegisterService.
struct ITankGauge : IInterface {
    virtual ITankState* GetState() = 0;
    virtual IStatus* SendCommand(IInterface* command) = 0;
    virtual void AddListener(IInterface* listener) = 0;
    virtual void RemoveListener(IInterface* listener) = 0;
};
LEVRANO_INTERFACE_ID(ITankGauge, "{06FB13EA-8DED-4926-AF3B-433DA3C4D9E2}");

// Host: told on the user-interface thread that a gauge has a new state.
struct ITankGaugeListener : IInterface {
    virtual void StateChanged(IInterface* gauge) = 0;
};
LEVRANO_INTERFACE_ID(ITankGaugeListener, "{8160B058-4E0D-4CBA-B11B-2E0C16D2E630}");

// Host: observes one call of LoadModule (BeginLoad, then EndLoad or LoadFailed). No identifier.
struct ILoadObserver : IInterface {
    virtual void ObserverReserved1() = 0;
    virtual void ObserverReserved2() = 0;
    virtual void BeginLoad() = 0;  // 3
    virtual void EndLoad() = 0;    // 4
    virtual void ObserverReserved5() = 0;
    virtual void ObserverReserved6() = 0;
    virtual void ObserverReserved7() = 0;
    virtual void LoadFailed(const char* text) = 0;  // 8
};

}  // namespace levrano
