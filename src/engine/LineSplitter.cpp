#include "engine/LineSplitter.h"

#include <utility>

namespace {
constexpr char CR = '\r';
constexpr char LF = '\n';
} // namespace

TLineSplitter::TLineSplitter(TLineSink OnLine) : FOnLine(std::move(OnLine)) {}

bool TLineSplitter::DeliverLine(bool& Abort) {
    const std::size_t End = FPending.find_first_of("\r\n", FStart);
    if (End == std::string::npos) return false;

    std::size_t Next = End + 1;
    if (FPending[End] == CR && Next < FPending.size() && FPending[Next] == LF) {
        ++Next;
        if (Next < FPending.size() && FPending[Next] == CR) ++Next;
    }

    // One string for every line: a flood of short lines costs no allocation
    // per line.
    FLine.assign(FPending, FStart, End - FStart);
    // Consumed before the hook runs, so a hook that throws leaves no line
    // to be delivered twice.
    FStart = Next;
    FOnLine(FLine, Abort);
    return true;
}

void TLineSplitter::Append(const char* Data, std::size_t Count, bool& Abort) {
    if (Count == 0) return;
    FPending.erase(0, FStart);
    FStart = 0;
    FPending.append(Data, Count);

    if (!DeliverLine(Abort)) return;
    while (!Abort && DeliverLine(Abort)) {
    }
}

void TLineSplitter::Finish(bool& Abort) {
    while (DeliverLine(Abort)) {
    }
    if (FStart < FPending.size()) {
        std::string Last(FPending, FStart);
        FPending.clear();
        FStart = 0;
        FOnLine(Last, Abort);
    }
}
