#pragma once
// The print guard's tests: test hosts with the library loaded print real jobs
// to the test world's printers (tests/print/print_world.h); the refusal boxes
// they were shown are recorded by the message-box stand-in, the controller's
// print event is a named event of this program, and the store is the one in
// the library's shared section.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host_client.h"
#include "tests/print/print_world.h"
#include "tests/support/library_view.h"

namespace printtest {

using hosts::Params;
using hosts::Reply;
using printworld::PrintedJob;
using watertest::PagePixels;

constexpr DWORD kRefused = 1223;  // ERROR_CANCELLED
// How long a message thread may take to record its box on a busy machine:
// waits for a box that is due end when it comes; a check that none came
// waits this long.
constexpr DWORD kBoxWaitMs = 20000;
constexpr DWORD kBoxQuietMs = 3000;

size_t Count(const std::string& hay, const std::string& needle);
// Every character twice: what text extraction makes of two identical runs of
// text drawn at the same place (the watermark's two passes).
std::string Doubled(const std::string& s);
// How often word appears in text, in either form.
size_t Mentions(const std::string& text, const std::string& word);
// Today's date as the watermark writes it, "YYYY-MM-DD". A job's date is
// that of its start: take it before the job and after it, and count both.
std::string Today();
size_t CountEither(const std::string& hay, const std::string& a, const std::string& b);

// The text of a refusal message as the test world's language file has it.
std::string MessageText(const char* key);
constexpr const char* kCantPrint = "D_DCTRL_CANTPRINT_ERROR";
constexpr const char* kPrintLimit = "D_DCTRL_CANTPRINT_TIMES_LIMIT";
constexpr const char* kVirtualPrinter = "D_DCTRL_VIRTUAL_ERROR";
constexpr const char* kPrintError = "D_DCTRL_PRINT_ERROR";

// The watermark line of a page in the horizontal layout, seen across the
// right half of the page (where the hosts' own text never reaches): one
// character per row of ink, '#' for a row with black, '-' for a row with the
// underlay's grey and no black, '.' otherwise.
std::string BandRows(const PagePixels& page, int underlayGrey);
double Share(const std::string& rows, char c);
// Near-white pixels among all pixels of the rows of the band, left half: the
// page's own text there is not buried under a box.
double PaperShareUnderBand(const PagePixels& page);

// The controller's print event of one owner: auto-reset, as a controller
// counting the prints one by one makes it.
class PrintEvent {
public:
    explicit PrintEvent(DWORD owner);
    ~PrintEvent();
    PrintEvent(const PrintEvent&) = delete;
    PrintEvent& operator=(const PrintEvent&) = delete;
    // Whether it was set since the last look.
    bool Taken();

private:
    HANDLE event_;
};

// One application with the library loaded and a document open and in front;
// its jobs go to a folder of its own (rendered at renderDpi when > 0) and its
// refusal boxes are recorded, and by default none shown.
class PrintHost {
public:
    // boxMode: the message-box stand-in's mode ("none": recorded, never shown);
    // args: the host's own options (tests/hosts/README.md).
    PrintHost(const std::string& variant, const std::string& docPath, int renderDpi = 0,
              const char* boxMode = "none", const std::vector<std::string>& args = {});
    bool ok() const { return ok_; }
    hosts::HostClient& host() { return host_; }
    HWND doc() const { return doc_; }
    const printworld::OutputFolder& output() const { return output_; }

    // The print command, with the document brought to front first.
    Reply Print(Params params);
    std::vector<PrintedJob> Jobs() const { return output_.Jobs(); }
    // Texts of the boxes recorded so far; waits up to waitMs for at least
    // `atLeast` of them (the message threads show theirs a moment later).
    std::vector<std::string> Boxes(size_t atLeast = 0, DWORD waitMs = kBoxWaitMs) const;
    // The boxes once every message thread started so far has had its time.
    std::vector<std::string> SettledBoxes() const { return Boxes(SIZE_MAX, kBoxQuietMs); }
    // The library's need-watermark set and the bytes the process's heaps hold.
    struct State {
        long long need = -1, heap = -1;
    };
    State PrintState();

private:
    printworld::OutputFolder output_;
    std::string record_;
    hosts::HostClient host_;
    HWND doc_ = nullptr;
    bool ok_ = false;
};

class PrintGuard : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The protected document of the host's document window.
    void Register(PrintHost& host, const std::string& path, const char* letters, uint8_t type, DWORD owner);
    // The watermark of every protected job: horizontal by default, one line
    // at half the page's height.
    void PublishWater(WORD opacity, const char* content = "CONFIDENTIAL ${date}", char layout = 'L',
                      float size = 50, WORD lines = 1);

    testlib::Store store;
};

}  // namespace printtest
