#include "guards/print/spooler_job_rule.h"

#include <winspool.h>

#include "guards/print/print_error_box.h"
#include "guards/print/print_output_rule.h"
#include "guards/print/virtual_printer.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"
#include "support/refusal_messages.h"
#include "support/wide_text.h"

namespace {

// The output name of a job description of level 1 to 3: each begins with the
// document's name, then the output file's.
const wchar_t* OutputOf(DWORD level, const BYTE* pDocInfo) {
    if (!pDocInfo || level < 1 || level > 3) return nullptr;
    const wchar_t* output = reinterpret_cast<const DOC_INFO_1W*>(pDocInfo)->pOutputFile;
    return intercept::IsName(output) ? output : nullptr;
}

}  // namespace

PrinterRefusal CheckSpoolerJob(HANDLE printer, DWORD level, const BYTE* pDocInfo, HWND docWnd,
                               const std::string& zelFile) {
    const PrinterFacts facts = ReadPrinterFacts(printer);
    if (IsVirtualPrinterDriver(facts.driver)) {
        StartMessageThread(ShowVirtualPrinterMsg, docWnd);
        LogError("In Detour_StartDocPrinterW(): Not Allow Printer.file=%s", zelFile.c_str());
        return PrinterRefusal::kVirtual;
    }
    const wchar_t* output = OutputOf(level, pDocInfo);
    if (PortWritesFile(facts.port) || JobOutputWritesFile(output)) {
        LogError("In Detour_StartDocPrinterW(): Not Allow Print To File. port=%s,output=%s,file=%s",
                 text::WideToAnsi(facts.port).c_str(), output ? text::WideToAnsi(output).c_str() : "",
                 zelFile.c_str());
        ShowPrintError(docWnd);
        return PrinterRefusal::kToFile;
    }
    return PrinterRefusal::kNone;
}
