// A data object holding one CF_HDROP in wide form, as the shell hands it to
// a context-menu handler or a drop target. Paths are given in UTF-8.
#pragma once

#include "platform/win32/WinApi.h"
#include "platform/win32/WideText.h"

#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace fake {

class DropData : public IDataObject {
public:
    explicit DropData(const std::vector<std::string>& paths) {
        for (const auto& p : paths) paths_.push_back(platform::Widen(p));
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        std::size_t chars = 1;
        for (const auto& p : paths_) chars += p.size() + 1;
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        wchar_t* at = reinterpret_cast<wchar_t*>(drop + 1);
        for (const auto& p : paths_) {
            memcpy(at, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
            at += p.size() + 1;
        }
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override { return format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> paths_;
};

}  // namespace fake
