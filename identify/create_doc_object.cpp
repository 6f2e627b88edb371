#include <windows.h>

#include "host/process_context.h"
#include "identify/app_version.h"
#include "identify/doc_classes.h"
#include "identify/pdf_version.h"

namespace {

// A replaced object is not deleted: guard threads may still be inside one of
// its queries, holding the pointer they read without a lock. Replacement
// happens at most a few times per process, so the object is left behind.
void Install(CCommonDoc* doc) { DocObject() = doc; }

}  // namespace

void CreateDocObject(const std::string& name) {
    try {
        CCommonDoc* doc = nullptr;
        if (name == "POWERPNT") doc = new CPPTDoc;
        else if (name == "WINWORD") doc = new CWordDoc;
        else if (name == "EXCEL") doc = new CExcelDoc;
        else if (name == "ACROBAT" || name == "ACRORD32") doc = new CPDFDoc;
        if (!doc) return;
        if (doc->nDocType == kDocPdf) DetectPdfVersion();
        else doc->SetVersion(GetAppVersion(""));
        Install(doc);
    } catch (...) {
    }
}

void CreateKORBDocObject() {
    try {
        Install(new CKORBDoc);
    } catch (...) {
    }
}
