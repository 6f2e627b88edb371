#include "store/zel_gatrel.h"

#include "store/named_lock.h"

CZELGatrel::CZELGatrel() { store::EnsureDllShareMemMutex(); }
CZELGatrel::~CZELGatrel() = default;
