// The reader of the handle the shell passes with its dropped-files message.
#pragma once

#include "base/Base_stringlist.h"
#include "base/Base_system.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace Vek_shell {

class EShellError : public Base_system::Exception {
public:
    using Exception::Exception;
};

// Finishing hands the handle back to the shell, which frees it; it happens
// once, and with AutoFinish at the latest when the reader ends.
class TFileDrop {
public:
    TFileDrop(HDROP ADropHandle, bool AAutoFinish);
    TFileDrop(const TFileDrop&) = delete;
    TFileDrop& operator=(const TFileDrop&) = delete;
    virtual ~TFileDrop();

    std::int32_t GetCount();
    std::string GetPath(std::int32_t Index);
    // Replaces the whole list, in one change, only after every path was read.
    virtual void GetPaths(Base_stringlist::TStringList& List);
    virtual void Finish();
    virtual bool IsFinished() const;

    HDROP DropHandle;
    bool AutoFinish;

private:
    void CheckNotFinished();
};

} // namespace Vek_shell
