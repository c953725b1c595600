// The system's dialog for choosing files to open.
#pragma once

#include "base/Base_system.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Gui_opendialog {

using TOpenOptions = unsigned;
enum : unsigned {
    ofAllowMultiSelect = 1,
    ofPathMustExist = 2,
    ofFileMustExist = 4,
    ofNoDereferenceLinks = 8,
    ofHideReadOnly = 16,
    ofEnableSizing = 32
};

class TOpenDialog : public Base_system::TObject {
public:
    std::string Title;
    // Pairs of description and patterns, all parts separated by "|":
    // "Text (*.txt)|*.txt|All (*.*)|*.*".
    std::string Filter;
    // 1-based; on confirmation it holds the filter chosen last.
    std::int32_t FilterIndex = 1;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    // The file proposed on showing ("" proposes none); on confirmation the
    // first chosen file, full path.
    std::string FileName;
    // On confirmation all chosen files, full paths, in the dialog's order.
    std::vector<std::string> Files;

    // Shows the dialog modally over the program, in the application's last
    // directory; confirming makes the chosen files' folder the last directory.
    // The process's current directory never changes.
    // Returns false when the user cancels. Raises Base_system::Exception when
    // the dialog itself fails.
    bool Execute();
};

} // namespace Gui_opendialog
