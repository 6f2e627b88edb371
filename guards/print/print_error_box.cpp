#include "guards/print/print_error_box.h"

#include <string>

#include "intercept/replacement_guard.h"
#include "support/lang_strings.h"
#include "support/refusal_messages.h"
#include "support/zel_message_box.h"

void ShowPrintError(HWND docWnd) {
    const std::string text = GetLangString("D_DCTRL_PRINT_ERROR", "Not found");
    const std::string caption = GetLangString("ZEL_PRODUCT_NAME", "Not found");
    intercept::Unmarked([&] {
        return ShowZelMessageBox(RefusalsUnowned() ? nullptr : docWnd, text.c_str(), caption.c_str(),
                                 MB_SETFOREGROUND);
    });
}
