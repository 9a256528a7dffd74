// SPDX-License-Identifier: MIT
#pragma once

class TVLang_Constants;

// The program's texts that came after its first constants block (the drive
// section of the menu, ejecting, the low-space notice): each is added with
// its Spanish default when the block does not already hold it, so that the
// block itself stays as it was written and a later block may carry them.
void AddFeatureConstants(TVLang_Constants &constants);
