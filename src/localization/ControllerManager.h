// SPDX-License-Identifier: MIT
#pragma once

class TVLanguageController;

// What a language controller asks of the language manager: to be listed
// while it lives and to be brought into the active language once its window
// has been loaded. The manager implements this; until it is installed, a
// stand-in that does nothing answers, so windows load in their source
// language.
class IVLang_ControllerManager
{
public:
    virtual ~IVLang_ControllerManager() = default;

    // Appends the controller to the attached list (called at construction).
    virtual void AttachController(TVLanguageController *Controller) = 0;
    // Removes its first occurrence (called at destruction).
    virtual void DetachController(TVLanguageController *Controller) = 0;
    // Translates a freshly loaded window when the active language is not the
    // default one.
    virtual void TranslateLoadedController(TVLanguageController *Controller) = 0;
};

// The manager that controllers talk to: the installed one, else the stand-in.
IVLang_ControllerManager &VLang_ControllerManager();
// Installs Manager (nullptr brings the stand-in back); returns the one it
// replaces. The caller keeps ownership and must uninstall it before
// destroying it.
IVLang_ControllerManager *VLang_SetControllerManager(IVLang_ControllerManager *Manager);
