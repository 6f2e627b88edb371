#pragma once
// The document classes of the five protected applications.
#include "identify/common_doc.h"

class CWordDoc : public CCommonDoc {
public:
    CWordDoc() { nDocType = kDocWord; }
    bool IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) override;
    bool IsZelDoc(_ZEL_HOOK_INFO_& rec) override;
};

class CExcelDoc : public CCommonDoc {
public:
    CExcelDoc() { nDocType = kDocExcel; }
    bool IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) override;
    bool IsZelDoc(_ZEL_HOOK_INFO_& rec) override;
};

class CPPTDoc : public CCommonDoc {
public:
    CPPTDoc() { nDocType = kDocPowerPoint; }
    bool IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) override;
    bool IsZelDoc(_ZEL_HOOK_INFO_& rec) override;
};

// Also chooses the menu-id list of the process context from the "P" letter.
class CPDFDoc : public CCommonDoc {
public:
    CPDFDoc() { nDocType = kDocPdf; }
    bool IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) override;
    bool IsZelDoc(_ZEL_HOOK_INFO_& rec) override;
};

class CKORBDoc : public CCommonDoc {
public:
    CKORBDoc() { nDocType = kDocKORB; }
    bool IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) override;
    bool IsZelDoc(_ZEL_HOOK_INFO_& rec) override;
};

// Makes a new CKORBDoc the process's document object (the KORB client's role).
void CreateKORBDocObject();
