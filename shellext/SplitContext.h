// The context-menu handler: "Corvane.Split" with "Split to..." or
// "&Rejoin to..." for one selected file, which starts Parvex with that file.
#pragma once

#include "shellext/Identifiers.h"

#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/win32/ScopedWin.h"

namespace glimber {

class SplitContext final : public ISplitContext, public IShellExtInit, public IContextMenu {
public:
    // `outer` is the controlling unknown when the object is aggregated.
    explicit SplitContext(IUnknown* outer);
    ~SplitContext();

    // The object's own IUnknown, which an aggregating outer object holds.
    IUnknown* inner() { return &inner_; }

    // IUnknown (delegating when aggregated)
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, served from the type library
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argument) override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* name, UINT size) override;

private:
    struct Inner : IUnknown {
        SplitContext* self;
        STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    };
    HRESULT LoadTypeInfo();

    Inner inner_;
    IUnknown* outer_;
    ULONG references_ = 0;
    int mode_ = 0;  // 1 split, 2 rejoin
    // The files selected: all to be split, or all of sets to be rejoined.
    std::vector<std::wstring> files_;
    platform::ScopedGdi<HBITMAP> bitmap_;
    platform::ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace glimber
