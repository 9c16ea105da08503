#include "gui/WindowSettings.h"

#include "gui/services/WindowServices.h"
#include "gui/settings/General.h"
#include "gui/settings/Registry.h"

namespace grize {

GeneralSettings::GeneralSettings(WindowServices& services) : services_(services) {
    // The store's one message: a malformed key path.
    setRegistryMessageBox([this](const std::string& text) {
        services_.MsgBox({text, MsgIcon::None, "Grize"});
    });
}

GeneralSettings::~GeneralSettings() {
    setRegistryMessageBox(nullptr);
}

void GeneralSettings::LoadPosition(PositionTarget& window) {
    grize::LoadPosition(window);
}

void GeneralSettings::LoadAutoquit(CheckBoxTarget& check) {
    grize::LoadAutoquit(check);
}

void GeneralSettings::SavePosition(const PositionTarget& window) {
    grize::SavePosition(window);
}

void GeneralSettings::SaveAutoquit(const CheckBoxTarget& check) {
    grize::SaveAutoquit(check);
}

}  // namespace grize
