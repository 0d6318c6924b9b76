// What the automation object drives: the main window, seen only through the
// five calls a client can make. A client's calls arrive on the window's
// thread, also while it waits for a worker.
#pragma once

#include <string>

namespace app {

class CHalvardDlgAutoProxy;

class AutomationTarget {
public:
    virtual ~AutomationTarget() = default;
    // The Split/Rejoin command; false when the destination lacks room, or
    // while an operation runs.
    virtual bool Run() = 0;
    virtual void SourceFile(const std::string& path) = 0;
    virtual void Destination(const std::string& path) = 0;
    virtual void Size(const std::string& unit, long value) = 0;
    // One more file for the next Run, which then takes them all as a queue,
    // as a drop of them would, and answers whether every one was done.
    virtual void AddFile(const std::string& path) = 0;
    // A client holds an object, or let it go.
    virtual void Attach(CHalvardDlgAutoProxy* proxy) = 0;
    virtual void Detach(CHalvardDlgAutoProxy* proxy) = 0;
};

}  // namespace app
