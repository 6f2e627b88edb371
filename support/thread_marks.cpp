#include "support/thread_marks.h"

namespace marks {

Entry EnterSlow(int) {
    const contained::Frame* f = contained::InnermostFrame();
    return f && f->inApplication ? Entry::kShared : Entry::kPass;
}

OwnWork::OwnWork() {
    const Words found = ReadAll();
    frame_.handler = reinterpret_cast<void*>(&contained::GatrelFrameHandler);
    frame_.bit = -1;
    frame_.kind = contained::kOwnWork;
    frame_.inApplication = 0;
    frame_.ledger = support::HeldLockMark();
    frame_.saved[0] = found.w[0];
    frame_.saved[1] = found.w[1];
    frame_.prev = contained::ChainHead();
    contained::SetChainHead(&frame_);
    WriteAll(Words{{~uint32_t{0}, ~uint32_t{0}}});
}

OwnWork::~OwnWork() {
    WriteAll(Words{{frame_.saved[0], frame_.saved[1]}});
    contained::SetChainHead(frame_.prev);
}

}  // namespace marks
