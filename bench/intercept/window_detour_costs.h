#pragma once
// The window control's replacements: pass-through and spreadsheet costs.
void WindowReplacementCosts();
