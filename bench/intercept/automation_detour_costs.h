#pragma once
// The automation guard's replacements: the pass-through every program pays.
void AutomationReplacementCosts();
