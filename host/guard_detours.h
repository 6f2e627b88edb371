#pragma once
// Hands every guard's replacements to the hook tables.
void UseGuardDetours();
