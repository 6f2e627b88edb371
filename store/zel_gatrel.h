#pragma once
// The store object the control interface owns. It holds no data and has no
// operations of its own: the store's operations are plain functions
// (store/hook_records.h, store/shared_settings.h, store/ostrum_records.h).
// Building one creates this process's "DllShareMem" mutex, which the Ostrum
// operations take, so only the control interface builds one.
class CZELGatrel {
public:
    CZELGatrel();
    virtual ~CZELGatrel();
};
