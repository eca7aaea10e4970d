#include "engine/LineSplitter.h"

#include <cstddef>
#include <cstring>
#include <utility>

namespace {
constexpr char CR = '\r';
constexpr char LF = '\n';

// The first CR or LF in [First, Last), or Last. Looks at a machine word at a
// time: a flood of output is mostly the inside of lines, and find_first_of,
// which looks each byte up in the set, cost more than all else per line.
const char* FindLineEnd(const char* First, const char* Last) {
    using TWord = std::size_t;
    constexpr TWord Ones = ~TWord(0) / 255;
    constexpr TWord Highs = Ones * 0x80;
    while (Last - First >= static_cast<std::ptrdiff_t>(sizeof(TWord))) {
        TWord Word;
        std::memcpy(&Word, First, sizeof Word);
        const TWord NotCR = Word ^ (Ones * static_cast<unsigned char>(CR));
        const TWord NotLF = Word ^ (Ones * static_cast<unsigned char>(LF));
        // A byte of NotCR or NotLF is zero where Word holds a CR or an LF.
        if ((((NotCR - Ones) & ~NotCR) | ((NotLF - Ones) & ~NotLF)) & Highs) break;
        First += sizeof(TWord);
    }
    while (First != Last && *First != CR && *First != LF)
        ++First;
    return First;
}
} // namespace

TLineSplitter::TLineSplitter(TLineSink OnLine) : FOnLine(std::move(OnLine)) {}

bool TLineSplitter::DeliverLine(bool& Abort) {
    const char* const Data = FPending.data();
    const char* const Found = FindLineEnd(Data + FStart, Data + FPending.size());
    if (Found == Data + FPending.size()) return false;
    const std::size_t End = static_cast<std::size_t>(Found - Data);

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
