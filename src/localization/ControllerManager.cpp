// SPDX-License-Identifier: MIT
#include "localization/ControllerManager.h"

namespace {

class TVLang_StandInControllerManager final : public IVLang_ControllerManager
{
public:
    void AttachController(TVLanguageController *) override {}
    void DetachController(TVLanguageController *) override {}
    void TranslateLoadedController(TVLanguageController *) override {}
};

TVLang_StandInControllerManager StandIn;
IVLang_ControllerManager *Installed = nullptr;

} // namespace

IVLang_ControllerManager &VLang_ControllerManager()
{
    return Installed ? *Installed : StandIn;
}

IVLang_ControllerManager *VLang_SetControllerManager(IVLang_ControllerManager *Manager)
{
    IVLang_ControllerManager *previous = Installed;
    Installed = Manager;
    return previous;
}
