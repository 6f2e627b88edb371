#pragma once
// The document object: one per protected application process. It answers the
// question every guard asks: is the document in front protected, with which rights.
#include <string>

#include "host/process_context.h"
#include "store/hook_info.h"

class CCommonDoc {
public:
    CCommonDoc();
    virtual ~CCommonDoc();
    // Slot order is fixed: destructor, IsLimitedZelDoc, IsZelDoc.
    virtual bool IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec);  // protected and lacks "A"
    virtual bool IsZelDoc(_ZEL_HOOK_INFO_& rec);         // the document in front is protected

    bool IsVersion12() const;
    void SetVersion(const std::string& version) { strVersion = version; }

    int nDocType = kDocNone;
    std::string strVersion;
};

// Whether this process has a document object of the type (kDocWord, ...):
// two loads, asked first by the replacements that run per message.
inline bool IsProcessDocType(int type) {
    const CCommonDoc* doc = DocObject();
    return doc && doc->nDocType == type;
}

// Creates the document object for WINWORD, EXCEL, POWERPNT, ACROBAT and
// ACRORD32 (upper-case base name without extension); nothing for other names.
void CreateDocObject(const std::string& name);
