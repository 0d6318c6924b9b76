#include "app/TaskbarProgress.h"

namespace app {

void TaskbarProgress::Attach(HWND window) {
    window_ = window;
    list_.Reset();
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                list_.ReceiveVoid())) ||
        !list_ || FAILED(list_->HrInit())) {
        list_.Reset();
    }
}

void TaskbarProgress::Set(State state) {
    if (!list_) return;
    const TBPFLAG flags[] = {TBPF_NOPROGRESS, TBPF_NORMAL, TBPF_PAUSED, TBPF_ERROR};
    list_->SetProgressState(window_, flags[static_cast<int>(state)]);
}

void TaskbarProgress::Value(std::uint64_t done, std::uint64_t total) {
    if (list_) list_->SetProgressValue(window_, done, total ? total : 1);
}

}  // namespace app
