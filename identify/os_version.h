#pragma once

// Operating-system code (100..108, 110; -1 when unknown) and service pack.
// 1 on success, 0 when both version queries fail. Both outputs start at -1.
int GetOSVersion(int& code, int& servicePack);
