// "Halvard.Application": lets another program set the source, destination
// and piece size of the main window and run the operation.
#pragma once

#include "platform/win32/WinApi.h"

#include <objbase.h>
#include <oleauto.h>

#include "app/AutomationTarget.h"

namespace app {

// {5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}
inline constexpr GUID kClsidHalvardApplication = {0x5E8B2F4A, 0x6C31, 0x4D7E,
                                                  {0xA9, 0xB0, 0x3F, 0x1C, 0x72, 0xD4, 0xE8, 0xA5}};
inline constexpr const char* kHalvardClsidText = "{5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}";
inline constexpr const char* kHalvardProgId = "Halvard.Application";

class CHalvardDlgAutoProxy final : public IDispatch {
public:
    explicit CHalvardDlgAutoProxy(AutomationTarget* target);
    ~CHalvardDlgAutoProxy();
    void Forget() { target_ = nullptr; }  // the window is gone

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* badArgument) override;

private:
    ULONG references_ = 1;
    AutomationTarget* target_;
};

// The class object that a start for automation registers as running: every
// object it makes drives `target`; each client is served by a process of
// its own.
IClassFactory* AutomationFactory(AutomationTarget* target);

}  // namespace app
