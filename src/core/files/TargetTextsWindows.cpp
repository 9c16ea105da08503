#include "core/files/TargetChecks.h"

namespace grize {

// The texts the Windows program has always shown, byte for byte.
std::string targetCheckMessage(TargetCheck result, const std::string& path) {
    switch (result) {
        case TargetCheck::Ok:
            return {};
        case TargetCheck::NoPath:
            return "Usage:\r\nRight click a text file and select Grize-Encrypt.\r\n"
                   "Consult the readme.txt in the program folder for more info.     ";
        case TargetCheck::NotFound:
        case TargetCheck::Folder:
        case TargetCheck::Unexaminable:
            return "There is no file found to work with.\r\n"
                   "If you are running Grize from a DOS prompt, please check your spelling...";
        case TargetCheck::Empty:
            return path + " is empty:\r\nGrize will NOT work with empty files.";
        case TargetCheck::ReadOnly:
            return path + " is Read-only:\r\nChange this file's file-attribute and try again.";
        case TargetCheck::Hidden:
            return path + " is Hidden:\r\nChange this file's file-attribute and try again.";
        case TargetCheck::System:
            return path + " is a System file:\r\nGrize will NOT work with system files.";
    }
    return {};
}

bool targetCheckNamesPath(TargetCheck result) {
    return result != TargetCheck::NoPath && result != TargetCheck::NotFound &&
           result != TargetCheck::Folder && result != TargetCheck::Unexaminable;
}

}  // namespace grize
